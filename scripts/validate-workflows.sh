#!/bin/sh
# Checks the hosted CI workflows against GitHub Actions' schema with
# action-validator from the npm registry, installed into build/ exactly as
# scripts/workflow-validator's lock file pins it,
# so that a broken workflow fails here before it reaches a hosting service.
set -eu
cd "$(dirname "$0")/.."
pinned=scripts/workflow-validator
tools=build/tools
if ! command -v npm >/dev/null 2>&1; then
  echo "Installing: nodejs npm"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
# Exactly the versions the lock file names, dependencies included: a new
# release of any of them cannot change what checks the workflows.
validator=$tools/node_modules/.bin/action-validator
if [ ! -x "$validator" ] || ! cmp -s "$pinned/package-lock.json" "$tools/package-lock.json"; then
  rm -rf "$tools"
  mkdir -p "$tools"
  cp "$pinned/package.json" "$pinned/package-lock.json" "$tools/"
  npm ci --silent --no-audit --no-fund --prefix "$tools" >/dev/null
fi
for workflow in .github/workflows/*.yml; do
  "$validator" "$workflow"
  echo "$workflow: valid"
done
