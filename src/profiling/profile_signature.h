#pragma once

#include <optional>
#include <string>

namespace vk605 {

// The signature of a client: "V2" alone without a profile creation date, else
// "V2\rcreated=<%d-%b-%Y %H:%M:%S>\r" with the date (an automation date in local time) in English month
// abbreviations, e.g. "V2\rcreated=30-Jul-2004 14:05:09\r". A date outside the calendar gives "V2".
std::string ProfileSignature(std::optional<double> creation_date);

}  // namespace vk605
