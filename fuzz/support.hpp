// What the fuzz targets share: the input as an open stream, a run of code
// that may end the process as a job does on damaged input, and a scratch
// prefix for the readers that find their files through the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace fuzz {

// The input as a stream opened for reading in binary mode, from memory. The
// caller closes it.
FILE* open(const uint8_t* data, size_t size);

// Runs `f`. A job ends its process on a damaged file (its message and exit
// code 1): that is the refusal a reader is meant to give, and here it ends
// `f` alone, unwinding it, instead of the fuzzer. False when `f` ended so.
bool until_exit(const std::function<void()>& f);

// The scratch prefix (WINEPREFIX) made for this process on first use, and the
// host path of a Windows path below its drive c: ("c:\\a\\b" -> ".../drive_c/a/b").
std::string host(std::string_view windows_path);
// Writes `bytes` to the Windows path `windows_path` of the scratch prefix,
// making its folders.
void put(std::string_view windows_path, std::string_view bytes);

// The seventh title's texts on the scratch prefix, as dumptodo, collecttodo
// and applytodo_ready find them: "todo.txt" naming two columns of the table
// "t.txt" and the string file "names.str" of the folder text, and the folder
// text_! for the results.
extern const char* const kTodo;
extern const char* const kText;
void put_texts();

// The second game's text.bin on the scratch prefix, and the bytes written
// there: texts with line feeds, a tilde, braces, a control byte ending a run.
extern const char* const kBin;
extern const std::string_view kBinBytes;

inline std::string_view text(const uint8_t* data, size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

} // namespace fuzz
