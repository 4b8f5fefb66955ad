# Puts the pnputil stand-in in place of System32's pnputil.exe (-Put
# <stand-in>), saving the system's own beside it, or puts the system's own
# back (-Restore). Each step is checked where it happens, so a failure says
# which one failed.
param([string]$Put, [switch]$Restore)
$ErrorActionPreference = 'Stop'
$system = "$env:SystemRoot\System32"
$pnputil = "$system\pnputil.exe"
$saved = "$system\pnputil.exe.driver-tools-saved"
function Checked([string]$what, [scriptblock]$step) {
  & $step
  if ($LASTEXITCODE -ne 0) { throw "$what failed with exit code $LASTEXITCODE" }
}
if ($Restore) {
  if (Test-Path $saved) {
    Remove-Item -Force $pnputil -ErrorAction SilentlyContinue
    Rename-Item $saved pnputil.exe
    Write-Output "System32's own pnputil.exe put back"
  }
  exit 0
}
if (-not (Test-Path $Put)) { throw "no stand-in at $Put" }
Checked 'takeown' { takeown /f $pnputil | Out-Null }
# S-1-5-32-544: the Administrators group, whatever the system's language.
Checked 'icacls' { icacls $pnputil /grant '*S-1-5-32-544:F' | Out-Null }
Rename-Item $pnputil pnputil.exe.driver-tools-saved
Copy-Item $Put $pnputil
if ((Get-FileHash $Put).Hash -ne (Get-FileHash $pnputil).Hash) {
  throw "the stand-in was not copied into System32"
}
Write-Output "the stand-in is System32's pnputil.exe"
