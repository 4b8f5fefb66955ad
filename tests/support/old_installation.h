#pragma once
// Where an old installation lives on a machine: the places tarvex looks at,
// as the tests lay them out and read them back.

#include <string>

namespace testsupport {

const std::wstring kInfFolder = L"c:\\windows\\inf\\";
const std::wstring kInstallShield =
    L"c:\\Program Files (x86)\\InstallShield Installation Information";
const std::wstring kMakerFolder = L"c:\\Program Files (x86)\\Devedozudi";
const std::wstring kEarlierFolder =
    L"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver";
const std::wstring kUninstallBranch =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kUninstallBranch32 =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kFirstKeyPrefix = kUninstallBranch32 + L"\\InstallShield_";
const std::wstring kSecondKeyPrefix = kUninstallBranch + L"\\";

}  // namespace testsupport
