# Writes a C++ source that holds the bytes of a file as one of the engine's embedded resources.
#   cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DNAME=<resource name> -P embed_resource.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# 32 bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT} at build time. Do not edit.\n"
"#include <cstddef>\n\n"
"namespace sx::resources {\n"
"extern const unsigned char k${NAME}[];\n"
"extern const std::size_t k${NAME}Size;\n"
"alignas(16) const unsigned char k${NAME}[] = {\n${bytes}0};\n"
"const std::size_t k${NAME}Size = ${size};\n"
"}  // namespace sx::resources\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
