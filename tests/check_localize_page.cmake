cmake_minimum_required(VERSION 3.25)
# The maker of the translated manual pages: a page comes out translated
# entry by entry, set for Japanese line breaking, and a catalog that lacks
# an entry or holds one no page has refuses the page without writing it.
# Arguments: -DTOOL=<kvtram-localize-page> -DWORK=<scratch folder>
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/out")
file(WRITE "${WORK}/t.1" [[.TH T 1 "2026" "t 1" "User Commands"
.SH NAME
t \- a "tool"
.SH "SEE ALSO"
.B t
runs.
.TP
.B \-x
does x
]])
set(header "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n")
set(entries [[
msgid "User Commands"
msgstr "ユーザーコマンド"

msgid "NAME"
msgstr "名前"

msgid "t \\- a \"tool\""
msgstr "t \\- 道具"

msgid "SEE ALSO"
msgstr "関連項目"

msgid ""
".B t\n"
"runs."
msgstr ""
".B t\n"
"は動く。\n"
"速く動く。"

msgid ".B \\-x"
msgstr ".B \\-x"
]])
set(last_entry "\nmsgid \"does x\"\nmsgstr \"x をする\"\n")

function(run expect_status catalog)
  file(WRITE "${WORK}/ja.po" "${header}${catalog}")
  file(REMOVE "${WORK}/out/t.1")
  execute_process(COMMAND "${TOOL}" "${WORK}/ja.po" "${WORK}/out" "${WORK}/t.1"
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL expect_status)
    message(FATAL_ERROR "exit status ${status}, not ${expect_status}, for\n${catalog}\n${errors}")
  endif()
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

# Refused, and nothing written: an entry missing, fuzzy, or left over.
foreach(catalog
    "${entries}"
    "${entries}\n#, fuzzy${last_entry}"
    "${entries}${last_entry}\nmsgid \"gone\"\nmsgstr \"消えた\"\n")
  run(1 "${catalog}")
  if(EXISTS "${WORK}/out/t.1" OR NOT errors MATCHES "(does x|gone)")
    message(FATAL_ERROR "a refused page was written, or its entry not named:\n${errors}")
  endif()
endforeach()

run(0 "${entries}${last_entry}")
file(READ "${WORK}/out/t.1" page)
set(expected [[.TH T 1 "2026" "t 1" "ユーザーコマンド"
.ad l
.SH 名前
t \- 道具
.SH 関連項目
.B t
は\:動\:く。\c
速\:く\:動\:く。
.TP
.B \-x
x を\:す\:る
]])
if(NOT page STREQUAL expected)
  message(FATAL_ERROR "translated page:\n${page}\nexpected:\n${expected}")
endif()
file(REMOVE_RECURSE "${WORK}")
