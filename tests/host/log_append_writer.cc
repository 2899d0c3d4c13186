// Appends numbered lines to the run log from several threads at once, for
// the test of concurrent writers in several processes:
//   log_append_writer.exe TAG THREADS LINES
// Each line reads "writer TAG thread T line N".
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "host/log_file.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    return 2;
  }
  const std::string tag = argv[1];
  const int threads = std::atoi(argv[2]);
  const int lines = std::atoi(argv[3]);
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&tag, t, lines] {
      for (int n = 0; n < lines; ++n) {
        const std::string message =
            "writer " + tag + " thread " + std::to_string(t) + " line " + std::to_string(n);
        velora::WriteRunLog(message.c_str());
      }
    });
  }
  for (std::thread& writer : writers) {
    writer.join();
  }
  return 0;
}
