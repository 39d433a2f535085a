#pragma once

namespace vk605 {

// The message of a message code (1000-1034 failures, 2001-2023 state reports, 3001-3007 operator
// instructions); null for a code outside the table.
const char* MessageForCode(int code);

}  // namespace vk605
