#include "sim_process.h"

namespace vk605::host {

std::string Joined(const std::vector<std::string>& commands) {
  std::string text;
  for (const std::string& c : commands) text += (text.empty() ? "" : " ") + c;
  return text;
}

std::vector<std::string> ControlRequestsFromOptions(const std::vector<std::string>& options) {
  std::vector<std::string> requests;
  for (std::size_t i = 0; i < options.size(); ++i) {
    std::string request = options[i].rfind("--", 0) == 0 ? options[i].substr(2) : options[i];
    std::size_t equals = request.find('=');
    if (equals != std::string::npos) {
      request[equals] = ' ';
    } else if (i + 1 < options.size() && options[i + 1].rfind("--", 0) != 0) {
      request += " " + options[++i];
    }
    requests.push_back(request);
  }
  return requests;
}

}  // namespace vk605::host
