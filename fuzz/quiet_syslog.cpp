// The fuzz targets that run the verifier's revocation stage would write
// installation-log records for every input, millions of them, into the
// machine's system log. This definition takes the place of the C library's
// vsyslog in those binaries: it still formats each record (so a format that
// does not fit its arguments shows up under the sanitizers) and drops it.
#include <syslog.h>

#include <cstdarg>
#include <cstdio>

extern "C" void vsyslog(int /*priority*/, const char* format, va_list args) {
  char record[1024];
  std::vsnprintf(record, sizeof record, format, args);
}
