// A stand-in for lib\ffmpeg.exe in the Windows end-to-end runs. It follows the lines of fake.txt in
// the working directory, writing into the folder its last argument points into:
//   args               write the arguments it got, one "[argument]" a line, to args.txt
//   text NAME BYTES    write a frame file holding BYTES
//   size NAME COUNT    make a frame file of COUNT bytes without writing them (sparse where it can)
//   echo TEXT          print TEXT and a line break on standard output
//   exit STATUS        stop with that exit status
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  const std::string last = argc > 1 ? argv[argc - 1] : "";
  const std::string frames = last.substr(0, last.find_last_of("/\\") + 1);
  std::ifstream script("fake.txt");
  std::string line;
  while (std::getline(script, line)) {
    std::istringstream words(line);
    std::string command, name;
    words >> command;
    if (command == "args") {
      std::ofstream out("args.txt", std::ios::binary);
      for (int i = 1; i < argc; ++i) out << "[" << argv[i] << "]\n";
    } else if (command == "text") {
      words >> name;
      std::string bytes;
      words >> bytes;
      std::ofstream(frames + name, std::ios::binary) << bytes;
    } else if (command == "size") {
      unsigned long long count = 0;
      words >> name >> count;
      std::ofstream(frames + name, std::ios::binary).close();
      std::filesystem::resize_file(frames + name, count);
    } else if (command == "echo") {
      std::string text;
      std::getline(words >> std::ws, text);
      std::printf("%s\n", text.c_str());
    } else if (command == "exit") {
      int status = 0;
      words >> status;
      return status;
    }
  }
  return 0;
}
