#pragma once
// Where the pnputil stand-in records each call: one line per call, the
// argument text exactly as it arrived, in UTF-8; and in the words log, the
// same call's words as it split them, separated by the unit separator.
#define PNPUTIL_STANDIN_LOG L"c:\\pnputil-standin.log"
#define PNPUTIL_STANDIN_WORDS_LOG L"c:\\pnputil-standin-words.log"
#define PNPUTIL_STANDIN_WORD_SEPARATOR L'\x1f'
// Where a planted library logs each load: "<its path> in <program path>".
#define PLANTED_LIBRARY_LOG L"c:\\planted-library.log"
