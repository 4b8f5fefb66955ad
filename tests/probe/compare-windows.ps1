# Compares what the platform probe found on Windows (the file named) with
# the answers promised for Windows (windows-answers.txt beside this script):
# every promised line must be among the probe's, word for word. The other
# facts are what Windows happens to answer, and are only recorded.
param([Parameter(Mandatory = $true)][string]$Found)
$promised = Get-Content (Join-Path $PSScriptRoot 'windows-answers.txt') |
  Where-Object { $_ -ne '' }
$answers = Get-Content $Found
$otherwise = $promised | Where-Object { $answers -notcontains $_ }
if ($otherwise) {
  Write-Output 'Windows answered otherwise than promised; promised:'
  $otherwise | ForEach-Object { Write-Output "  $_" }
  exit 1
}
Write-Output "$($promised.Count) promised answers as promised"
