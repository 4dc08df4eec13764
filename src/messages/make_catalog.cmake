# Turns the catalog (po/ja.po: English msgid, Japanese msgstr, msgctxt the
# text's name in the code) into C++ at build time, so that no program needs a
# gettext library or a file beside it at run time:
#   cmake -DPO=po/ja.po -DOUT=DIR -P make_catalog.cmake
# writes DIR/messages/catalog_ids.h (enum msg::Id) and DIR/catalog_texts.cpp
# (both languages' tables). The .po escapes are C escapes, so the quoted
# pieces are copied into C++ string literals as they stand.
cmake_minimum_required(VERSION 3.25)

file(READ "${PO}" content)
# CMake lists split at ';' and treat brackets specially: park them.
string(REPLACE ";" "<KV-SEMICOLON>" content "${content}")
string(REPLACE "[" "<KV-OPEN>" content "${content}")
string(REPLACE "]" "<KV-CLOSE>" content "${content}")
string(REPLACE "\n" ";" lines "${content}\n")

set(names "")
set(context "")
set(field "")
set(english "")
set(japanese "")
set(idLines "")
set(englishLines "")
set(japaneseLines "")
set(nameLines "")
set(lineNumber 0)

macro(flush_entry)
  if(NOT context STREQUAL "")
    if(context IN_LIST names)
      message(FATAL_ERROR "${PO}: the text ${context} stands twice")
    endif()
    if(english STREQUAL "" OR english STREQUAL "\"\"" OR japanese STREQUAL "" OR japanese STREQUAL "\"\"")
      message(FATAL_ERROR "${PO}: the text ${context} lacks its English or Japanese wording")
    endif()
    list(APPEND names "${context}")
    string(APPEND idLines "  ${context},\n")
    string(APPEND englishLines "    ${english},\n")
    string(APPEND japaneseLines "    ${japanese},\n")
    string(APPEND nameLines "    \"${context}\",\n")
  endif()
  set(context "")
  set(field "")
  set(english "")
  set(japanese "")
endmacro()

foreach(line IN LISTS lines)
  math(EXPR lineNumber "${lineNumber} + 1")
  if(line MATCHES "^msgctxt \"([A-Za-z][A-Za-z0-9]*)\"$")
    flush_entry()
    set(context "${CMAKE_MATCH_1}")
    set(field context)
  elseif(line MATCHES "^msgid \"(.*)\"$")
    set(field english)
    set(english "\"${CMAKE_MATCH_1}\"")
  elseif(line MATCHES "^msgstr \"(.*)\"$")
    set(field japanese)
    set(japanese "\"${CMAKE_MATCH_1}\"")
  elseif(line MATCHES "^\"(.*)\"$")
    if(field STREQUAL "english" OR field STREQUAL "japanese")
      string(APPEND ${field} " \"${CMAKE_MATCH_1}\"")
    endif()
  elseif(line STREQUAL "")
    flush_entry()
  elseif(NOT line MATCHES "^#")
    message(FATAL_ERROR "${PO}:${lineNumber}: cannot read this line")
  endif()
endforeach()
flush_entry()
list(LENGTH names count)

set(header "// Made from po/ja.po by src/messages/make_catalog.cmake; edit the catalog, not this.
#pragma once

namespace kvtram::msg {

enum class Id : int {
${idLines}};
inline constexpr int kTextCount = ${count};

}  // namespace kvtram::msg
")
set(source "// Made from po/ja.po by src/messages/make_catalog.cmake; edit the catalog, not this.
#include \"messages/messages.h\"

namespace kvtram::msg {

namespace {

const char* const kEnglish[kTextCount] = {
${englishLines}};
const char* const kJapanese[kTextCount] = {
${japaneseLines}};
const char* const kNames[kTextCount] = {
${nameLines}};

}  // namespace

const char* text(Id id, Language language) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= kTextCount) return \"\";
  return language == Language::Japanese ? kJapanese[i] : kEnglish[i];
}

const char* textName(Id id) {
  const int i = static_cast<int>(id);
  return i < 0 || i >= kTextCount ? \"\" : kNames[i];
}

}  // namespace kvtram::msg
")
foreach(text IN ITEMS header source)
  string(REPLACE "<KV-SEMICOLON>" ";" ${text} "${${text}}")
  string(REPLACE "<KV-OPEN>" "[" ${text} "${${text}}")
  string(REPLACE "<KV-CLOSE>" "]" ${text} "${${text}}")
endforeach()
# Rewritten only when changed, so that a new wording recompiles one file.
file(MAKE_DIRECTORY "${OUT}/messages")
file(WRITE "${OUT}/catalog_ids.h.new" "${header}")
file(WRITE "${OUT}/catalog_texts.cpp.new" "${source}")
file(COPY_FILE "${OUT}/catalog_ids.h.new" "${OUT}/messages/catalog_ids.h" ONLY_IF_DIFFERENT)
file(COPY_FILE "${OUT}/catalog_texts.cpp.new" "${OUT}/catalog_texts.cpp" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}/catalog_ids.h.new" "${OUT}/catalog_texts.cpp.new")
