#!/usr/bin/env bash
# Builds and checks the VS Code extension offline: installs its pinned packages from the lockfile,
# type-checks, lints, runs the unit and grammar tests, bundles the client, packages the .vsix and
# checks what the package holds. The Vim files are tested by CTest (vim_make).
set -euo pipefail
cd "$(dirname "$0")/../editors/vscode"

node_major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$node_major" -lt 20 ]; then
  echo "editors: Node.js 20 or later is needed (vsce and eslint); this is $(node --version)" >&2
  exit 1
fi

npm ci --no-audit --no-fund
npm run check
