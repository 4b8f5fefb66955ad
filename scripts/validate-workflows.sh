#!/bin/sh
# Checks the hosted CI workflows against GitHub Actions' schema with
# action-validator from the npm registry, installed (pinned) into build/,
# so that a broken workflow fails here before it reaches a hosting service.
set -eu
cd "$(dirname "$0")/.."
version=0.6.0
tools=build/tools
if ! command -v npm >/dev/null 2>&1; then
  echo "Installing: nodejs npm"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
validator=$tools/node_modules/.bin/action-validator
installed=$tools/node_modules/@action-validator/cli/package.json
if [ ! -x "$validator" ] || ! grep -q "\"version\": \"$version\"" "$installed" 2>/dev/null; then
  npm install --silent --no-save --no-audit --no-fund --prefix "$tools" \
    "@action-validator/cli@$version" >/dev/null
fi
for workflow in .github/workflows/*.yml; do
  "$validator" "$workflow"
  echo "$workflow: valid"
done
