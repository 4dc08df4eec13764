// Names from outside the program (file names above all) made safe to print.
#pragma once

#include <string>
#include <string_view>

namespace kvtram {

// A control character in a name could move the cursor, recolour or clear a
// terminal, or start a forged line of a listing: each is written as an escape
// ("\n", "\r", "\t", else "\x1B"), as are the C1 controls (U+0080-U+009F, by
// their UTF-8 bytes) and every byte that is no part of valid UTF-8. The rest,
// backslashes included (Windows paths), stays as it is; the result is valid
// UTF-8. Front ends print every line that holds a name through this.
std::string printable(std::string_view text);

}  // namespace kvtram
