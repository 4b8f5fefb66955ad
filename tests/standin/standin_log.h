#pragma once
// Where the pnputil stand-in records each call: one line per call, the
// argument text exactly as it arrived, in UTF-8.
#define PNPUTIL_STANDIN_LOG L"c:\\pnputil-standin.log"
