# Writes OUTPUT, a C++ file that holds every file of FOLDER (not its
# subfolders' names: a file is named by its path below FOLDER) as bytes, for
# fx::FindWebAsset (service/WebAssets.h).
file(GLOB_RECURSE files RELATIVE "${FOLDER}" "${FOLDER}/*")
list(SORT files)
set(table "")
set(data "")
set(index 0)
foreach(name IN LISTS files)
    file(READ "${FOLDER}/${name}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND data "const unsigned char kFile${index}[] = {${bytes} 0};\n")
    string(APPEND table "    {\"${name}\", kFile${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by cmake/EmbedFiles.cmake from ${FOLDER}: do not edit.
#include \"service/WebAssets.h\"

namespace {
${data}
} // namespace

namespace fx {
const std::vector<WebAsset>& WebAssets() {
    static const std::vector<WebAsset> assets{
${table}    };
    return assets;
}
} // namespace fx
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
