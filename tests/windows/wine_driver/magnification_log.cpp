#include "magnification_log.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace driver {

namespace {

MagnificationCall Parse(const std::string& line) {
    MagnificationCall call;
    call.line = line;
    std::istringstream words(line);
    words >> call.function;
    std::string word;
    while (words >> word) {
        if (word == "->") {
            words >> call.result;
        } else if (word.starts_with("magnifier=")) {
            call.magnifier = std::stoull(word.substr(10));
        } else if (word.starts_with("parent=")) {
            call.parent = std::stoull(word.substr(7));
        } else if (word.starts_with("source=")) {
            std::sscanf(word.c_str() + 7, "%ld,%ld,%ld,%ld", &call.source.left, &call.source.top,
                        &call.source.right, &call.source.bottom);
        } else if (word.starts_with("matrix=")) {
            float* m = call.matrix;
            std::sscanf(word.c_str() + 7, "%f,%f,%f;%f,%f,%f;%f,%f,%f", &m[0], &m[1], &m[2], &m[3],
                        &m[4], &m[5], &m[6], &m[7], &m[8]);
        }
    }
    return call;
}

} // namespace

std::vector<MagnificationCall> ReadMagnificationLog(const std::wstring& path) {
    std::vector<MagnificationCall> calls;
    std::ifstream log{std::filesystem::path(path)};
    std::string line;
    while (std::getline(log, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            calls.push_back(Parse(line));
        }
    }
    return calls;
}

} // namespace driver
