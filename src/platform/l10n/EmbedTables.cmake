# Writes a C++ source that holds every l10n table as bytes, so the program finds its texts without files.
# Run as: cmake -DTABLES_DIR=<dir> -DOUTPUT=<file.cpp> -P EmbedTables.cmake
file(GLOB tables "${TABLES_DIR}/*.json")
list(SORT tables)
set(arrays "")
set(entries "")
set(index 0)
foreach(table ${tables})
  get_filename_component(language ${table} NAME_WE)
  file(READ ${table} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char table${index}[] = {${bytes}0};\n")
  string(APPEND entries "      {\"${language}\", std::string_view(reinterpret_cast<const char*>(table${index}), ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from resources/l10n by EmbedTables.cmake; do not edit.
#include \"platform/l10n/EmbeddedTables.h\"

namespace tilvane::l10n::detail {
namespace {
${arrays}}  // namespace

const std::vector<std::pair<std::string_view, std::string_view>>& embeddedTables() {
  static const std::vector<std::pair<std::string_view, std::string_view>> tables = {
${entries}  };
  return tables;
}

}  // namespace tilvane::l10n::detail
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
