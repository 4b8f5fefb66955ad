# Fails when a test skipped on Windows without being on the list of those
# meant to skip there (allowed-skips.txt beside this script, a line each:
# "Suite.Test: why"). The runner has everything the tests need, so a skip
# means a check that did not run; each one is named with its reason.
param([Parameter(Mandatory = $true)][string[]]$Reports)
$allowed = Get-Content (Join-Path $PSScriptRoot 'allowed-skips.txt') |
  Where-Object { $_ -ne '' -and -not $_.StartsWith('#') } |
  ForEach-Object { ($_ -split ': ', 2)[0] }
$unexpected = @()
foreach ($report in $Reports) {
  [xml]$xml = Get-Content $report
  foreach ($case in $xml.SelectNodes('//testcase')) {
    if ($case.result -ne 'skipped') { continue }
    $name = "$($case.classname).$($case.name)"
    $why = ($case.SelectNodes('skipped') | ForEach-Object { $_.message }) -join ' '
    if ($allowed -contains $name) {
      Write-Output "skipped, as it may be here: $name ($why)"
    } else {
      Write-Output "SKIPPED, and it must run here: $name ($why)"
      $unexpected += $name
    }
  }
}
if ($unexpected.Count -gt 0) { exit 1 }
Write-Output "no test skipped that must run here"
