# cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=kName -P EmbedFile.cmake
# writes the file's bytes as `const unsigned char kName[]` and its size as
# `const size_t kNameSize`.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes
                     "${bytes}")
file(WRITE ${OUTPUT}
     "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n"
     "extern const unsigned char ${NAME}[];\nextern const size_t ${NAME}Size;\n"
     "const unsigned char ${NAME}[] = {\n${bytes}0};\nconst size_t ${NAME}Size = ${size};\n")
