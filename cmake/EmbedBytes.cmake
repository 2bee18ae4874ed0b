# Turns a binary file into a C++ source that defines a byte array and its
# length, so a build input (the held root certificate) is compiled into the
# program instead of being read at run time. Script mode:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -DHEADER=<header>
#         -P EmbedBytes.cmake
# defines `const unsigned char SYMBOL[]` and `const std::size_t SYMBOLLength`
# (declared in HEADER). The output is rewritten only when it changes.
foreach(_v INPUT OUTPUT SYMBOL HEADER)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "EmbedBytes: ${_v} is not set")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "EmbedBytes: ${INPUT} does not exist")
endif()

file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
if(_digits EQUAL 0)
  message(FATAL_ERROR "EmbedBytes: ${INPUT} is empty")
endif()
math(EXPR _bytes "${_digits} / 2")
# Sixteen bytes to a line.
set(_list "")
set(_pos 0)
while(_pos LESS _digits)
  string(SUBSTRING "${_hex}" ${_pos} 32 _line)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _line "${_line}")
  string(APPEND _list "  ${_line}\n")
  math(EXPR _pos "${_pos} + 32")
endwhile()

file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from ${INPUT} (${_bytes} bytes); do not edit.
#include \"${HEADER}\"

const unsigned char ${SYMBOL}[] = {
${_list}};
const std::size_t ${SYMBOL}Length = sizeof(${SYMBOL});
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
