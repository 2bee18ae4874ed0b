// The trace hook of the downloader and the verifier: takes a printf-style
// format and its values and does nothing with them. Kept as a hook so a
// developer build can route traces somewhere without touching the callers.
#pragma once

void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
