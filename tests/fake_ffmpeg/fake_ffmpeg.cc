// A stand-in for lib/ffmpeg.exe, built for both targets. It records the arguments it got, one
// "[argument]" a line, in args.txt, then follows the lines of fake.txt in the working directory.
// NAME is relative to the folder of its last argument (the scratch folder); TEXT runs to the end
// of the line and takes the escapes \n \r \t \0 \\ and \xHH, and \i for the argument after -i.
//   out TEXT           print TEXT on standard output
//   err TEXT           print TEXT on standard error
//   frame NAME TEXT    write a file holding TEXT (its folders made first); any file that cannot
//                      be written ends the program with status 96
//   size NAME BYTES    make a file of BYTES bytes without writing them (sparse where it can)
//   frames COUNT BYTES write frame00001.jpg and on, each its number in digits padded to BYTES
//   dir NAME           make a sub-folder
//   link NAME TARGET   make a symbolic link (exit 98 where links cannot be made)
//   undeletable NAME   make a file that can be neither deleted nor written (exit 95 if it cannot)
//   pause MS           wait MS milliseconds after every file written from here on
//   sleep MS           wait MS milliseconds now
//   remove_folder      remove the scratch folder with everything in it
//   adopt FOLDER       put FOLDER (relative to the working directory) in place of the scratch
//   folder size_of FILE INTO  write the size of FILE in bytes, or "missing", into the file INTO
//   stdin              read standard input to its end and write what came into stdin.txt
//   code_page INTO     add a line to the file INTO: the console's output code page, 0 for none
//   exit STATUS        stop with that exit status
//   crash              stop by writing through a null pointer
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "tests/fake_ffmpeg/binary_output.h"
#include "tests/fake_ffmpeg/undeletable.h"
#include "tests/fake_ffmpeg/code_page.h"

namespace fs = std::filesystem;

namespace {

std::string Unescape(const std::string& text, const std::string& input) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'n') {
      bytes += '\n';
    } else if (kind == 'r') {
      bytes += '\r';
    } else if (kind == 't') {
      bytes += '\t';
    } else if (kind == '0') {
      bytes += '\0';
    } else if (kind == 'i') {
      bytes += input;
    } else if (kind == 'x' && i + 2 < text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += kind;
    }
  }
  return bytes;
}

// Writes the file, or ends the program with status 96 when it cannot, as ffmpeg fails then too.
void WriteBytes(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.close();
  if (!out) exit(96);
}

}  // namespace

int main(int argc, char** argv) {
  MakeStandardOutputBinary();
  {
    std::ofstream args("args.txt", std::ios::binary);
    for (int i = 0; i < argc; ++i) args << "[" << argv[i] << "]\n";
  }
  std::string input;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "-i") input = argv[i + 1];
  }
  const std::string last = argc > 1 ? argv[argc - 1] : "";
  const size_t cut = last.find_last_of("/\\");
  const fs::path frames = cut == std::string::npos ? fs::path(".") : fs::path(last.substr(0, cut));
  std::chrono::milliseconds pause(0);
  auto written = [&] { std::this_thread::sleep_for(pause); };

  // Read whole at the start: a test may write the next run's lines while this one still runs.
  std::vector<std::string> lines;
  {
    std::ifstream script("fake.txt", std::ios::binary);
    for (std::string line; std::getline(script, line);) lines.push_back(line);
  }
  for (const std::string& line : lines) {
    std::istringstream words(line);
    std::string command;
    std::string name;
    words >> command;
    std::string rest;
    auto text = [&] {
      std::getline(words, rest);
      return Unescape(rest.empty() ? rest : rest.substr(1), input);
    };
    if (command == "out" || command == "err") {
      const std::string bytes = text();
      FILE* stream = command == "out" ? stdout : stderr;
      fwrite(bytes.data(), 1, bytes.size(), stream);
      fflush(stream);
    } else if (command == "frame") {
      words >> name;
      WriteBytes(frames / name, text());
      written();
    } else if (command == "size") {
      uintmax_t bytes = 0;
      words >> name >> bytes;
      WriteBytes(frames / name, "");
      fs::resize_file(frames / name, bytes);
      written();
    } else if (command == "frames") {
      long count = 0;
      size_t bytes = 0;
      words >> count >> bytes;
      for (long i = 1; i <= count; ++i) {
        char frame_name[32];
        snprintf(frame_name, sizeof frame_name, "frame%05ld.jpg", i);
        std::string body = std::to_string(i);
        if (body.size() < bytes) body.resize(bytes, ' ');
        WriteBytes(frames / frame_name, body);
        written();
      }
    } else if (command == "dir") {
      words >> name;
      fs::create_directories(frames / name);
    } else if (command == "link") {
      std::string target;
      words >> name >> target;
      std::error_code failed;
      fs::create_symlink(target, frames / name, failed);
      if (failed) return 98;
    } else if (command == "undeletable") {
      words >> name;
      if (!MakeUndeletable((frames / name).string())) return 95;
    } else if (command == "pause" || command == "sleep") {
      long ms = 0;
      words >> ms;
      if (command == "pause") {
        pause = std::chrono::milliseconds(ms);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }
    } else if (command == "remove_folder") {
      fs::remove_all(frames);
    } else if (command == "adopt") {
      words >> name;
      fs::remove_all(frames);
      fs::rename(name, frames);
    } else if (command == "size_of") {
      std::string into;
      words >> name >> into;
      std::error_code missing;
      const uintmax_t bytes = fs::file_size(name, missing);
      WriteBytes(into, missing ? "missing" : std::to_string(bytes));
    } else if (command == "stdin") {
      std::string got;
      char chunk[4096];
      for (size_t n; (n = fread(chunk, 1, sizeof chunk, stdin)) > 0;) got.append(chunk, n);
      WriteBytes("stdin.txt", got);
    } else if (command == "code_page") {
      words >> name;
      std::ofstream(name, std::ios::binary | std::ios::app) << ConsoleCodePage() << "\n";
    } else if (command == "exit") {
      int status = 0;
      words >> status;
      return status;
    } else if (command == "crash") {
      *static_cast<volatile int*>(nullptr) = 1;
    } else if (!command.empty()) {
      std::cerr << "fake ffmpeg: unknown command " << command << "\n";
      return 97;
    }
  }
  return 0;
}
