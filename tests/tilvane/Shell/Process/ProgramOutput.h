#pragma once

#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "support/x11/TestClient.h"

namespace tilvane::test::x11 {

/// The lines a command prints, until it ends.
inline std::vector<std::string> outputOf(const std::vector<std::string>& argv) {
  std::vector<std::string> lines;
  auto child = ChildProcess::spawn(argv);
  if (!child) return lines;
  std::string line;
  while (child->readLine(line, 10.0)) lines.push_back(line);
  child->wait(10.0);
  return lines;
}

/// Runs the program with `args` and its standard error on the same pipe, so a test reads all it tells the user.
inline std::unique_ptr<ChildProcess> startTilvane(const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv{"sh", "-c", "exec \"$0\" \"$@\" 2>&1", TILVANE_BINARY_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return ChildProcess::spawn(argv);
}

/// Runs the program with `args` and reads only its standard error, so a test sees what it tells on it.
inline std::unique_ptr<ChildProcess> startTilvaneErrorsOnly(const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv{"sh", "-c", "exec \"$0\" \"$@\" 2>&1 >/dev/null", TILVANE_BINARY_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return ChildProcess::spawn(argv);
}

/// Reads the program's output into `output` until a line containing `text` (true), its end or `seconds`.
inline bool readUntil(ChildProcess& program, const std::string& text, std::string& output, double seconds = 60.0) {
  std::string line;
  while (program.readLine(line, seconds)) {
    output += line + "\n";
    if (!text.empty() && line.find(text) != std::string::npos) return true;
  }
  return false;
}

/// Reads the rest of the output and returns the exit code; -1 when the program did not exit by itself within
/// `seconds`.
inline int exitCode(ChildProcess& program, std::string& output, double seconds = 60.0) {
  readUntil(program, "", output, seconds);
  const int status = program.wait(seconds);
  // What it printed after the read above gave up is still the test's to see.
  if (status != -1) readUntil(program, "", output, 1.0);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tilvane::test::x11
