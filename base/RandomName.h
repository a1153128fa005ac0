// Names that no other process can foresee: pipes, temporary files.
#pragma once

#include <string>

// `bytes` random bytes from the system's generator as lower-case hex
// (2 × bytes characters); empty when the system gives none.
std::wstring RandomHex(size_t bytes);
