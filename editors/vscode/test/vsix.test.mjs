// Lists the packaged extension and checks that it holds what VS Code loads and nothing of the
// build: run after `npm run package`.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { builtinModules } from "node:module";
import { test } from "node:test";

const vsix = process.env.KESTREL_VSIX ?? "dist/kestrel.vsix";
const entries = execFileSync("unzip", ["-Z1", vsix], { encoding: "utf8" }).split("\n").filter(Boolean);
const read = (entry) => execFileSync("unzip", ["-p", vsix, entry], { encoding: "utf8" });
const manifest = JSON.parse(read("extension/package.json"));
const packaged = (file) => `extension/${file.replace(/^\.\//, "")}`;

test("the package holds the manifests, the readme and the licence", () => {
  for (const entry of ["[Content_Types].xml", "extension.vsixmanifest", "extension/package.json"]) {
    assert.ok(entries.includes(entry), entry);
  }
  assert.ok(entries.some((e) => /^extension\/readme\.md$/i.test(e)), "README");
  assert.ok(entries.some((e) => /^extension\/licen[cs]e(\.txt|\.md)?$/i.test(e)), "licence");
});

test("every file the manifest names is in the package", () => {
  const named = [
    manifest.main,
    ...manifest.contributes.grammars.map((g) => g.path),
    ...manifest.contributes.languages.map((l) => l.configuration),
  ];
  for (const file of named) assert.ok(entries.includes(packaged(file)), file);
  for (const grammar of manifest.contributes.grammars) {
    assert.equal(JSON.parse(read(packaged(grammar.path))).scopeName, grammar.scopeName);
  }
});

test("nothing of the build or of node_modules is packaged", () => {
  const strays = entries.filter((e) =>
    /(^|\/)node_modules\//.test(e) || /^extension\/(src|test|out)\//.test(e) ||
    /\.(ts|map|vsix)$/.test(e) || /(^|\/)(tsconfig\.json|eslint\.config\.mjs|package-lock\.json)$/.test(e));
  assert.deepEqual(strays, []);
});

test("the client is bundled: it requires nothing but VS Code and Node's own modules", () => {
  const bundle = read(packaged(manifest.main));
  const required = [...bundle.matchAll(/\brequire\("([^"]+)"\)/g)].map((m) => m[1]);
  assert.ok(required.includes("vscode"));
  const foreign = required.filter((name) =>
    name !== "vscode" && !name.startsWith("node:") && !builtinModules.includes(name));
  assert.deepEqual([...new Set(foreign)], []);
});
