// The simulator's input side: the command splitter and instrument model fed the driver's byte stream in
// arbitrary chunks, the control language, and the escaping of the command record. Input:
// "driver bytes\0control lines (LF-separated)\0text to escape".
#include <string>

#include "command_splitter.h"
#include "command_text.h"
#include "control_interpreter.h"
#include "fuzz_input.h"
#include "instrument_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  namespace sim = vk605::sim;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 3);
  std::string_view stream = parts[0], control = parts[1], text = parts[2];

  // The same bytes split into commands identically whatever the chunking.
  sim::CommandSplitter whole;
  std::vector<sim::CommandSplitter::Event> all = whole.Feed(stream);
  sim::CommandSplitter bytewise;
  std::vector<sim::CommandSplitter::Event> pieces;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    for (sim::CommandSplitter::Event& e : bytewise.Feed(stream.substr(i, 1))) pieces.push_back(std::move(e));
  }
  if (all.size() != pieces.size()) Fail("chunking changes the number of commands");
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].kind != pieces[i].kind || all[i].text != pieces[i].text) Fail("chunking changes a command");
    if (all[i].text.size() > sim::CommandSplitter::kMaxCommandBytes) Fail("command longer than the buffer");
    sim::CommandKey(all[i].text);
  }

  sim::InstrumentModel model;
  sim::ControlInterpreter interpreter(model, sim::SimSettings{});
  std::uint64_t now = 0;
  std::size_t line_start = 0;
  std::size_t chunk = 1;
  for (std::size_t at = 0; at < stream.size(); at += chunk, chunk = chunk % 7 + 1) {
    model.Receive(stream.substr(at, chunk), now);
    now += 10;
    model.TakeOutput(now);
    // Control requests interleave with the driver's bytes, as they do on a running simulator.
    if (line_start <= control.size()) {
      std::size_t end = control.find('\n', line_start);
      std::string_view line =
          control.substr(line_start, end == std::string_view::npos ? end : end - line_start);
      std::string response = interpreter.Handle(line);
      if (response.empty() || response.back() != '\n') Fail("control response without its line end");
      line_start = end == std::string_view::npos ? control.size() + 1 : end + 1;
    }
  }
  // Everything still queued comes out in bounded time.
  for (int i = 0; i < 64 && model.NextDueMs(); ++i) model.TakeOutput(*model.NextDueMs() + 60000);

  std::string escaped = sim::EscapeText(text);
  for (char c : escaped) {
    if (c < 0x20 || c > 0x7E) Fail("escaped text not printable");
  }
  std::optional<std::string> unescaped = sim::UnescapeText(escaped);
  if (!unescaped || *unescaped != text) Fail("escaping does not round-trip");
  sim::UnescapeText(text);
  sim::CommandNameFromUser(text);
  return 0;
}
