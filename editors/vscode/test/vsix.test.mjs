// Lists the packaged extension and checks that it holds what VS Code loads and nothing of the
// build, and that its client activates: run after `npm run package`.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import Module, { builtinModules, createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join } from "node:path";
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

// A stand-in for VS Code's API: what activation registers is recorded, anything else it or the
// language client touches is an inert object.
function inert() {
  return new Proxy(function () {}, {
    get: (_target, property) => (property === "prototype" ? {} : inert()),
    construct: () => inert(),
    apply: () => inert(),
  });
}

function fakeVscode(record) {
  const disposable = { dispose() {} };
  const withDefault = (known, fallback) =>
    new Proxy(known, { get: (target, property) => (property in target ? target[property] : fallback) });
  return withDefault({
    commands: withDefault({
      registerCommand: (id) => { record.commands.push(id); return disposable; },
    }, inert()),
    tasks: withDefault({
      registerTaskProvider: (type) => { record.taskTypes.push(type); return disposable; },
    }, inert()),
    workspace: withDefault({
      getConfiguration: () => ({ get: (_key, fallback) => fallback }),
      workspaceFolders: undefined,
      textDocuments: [],
      registerTextDocumentContentProvider: (scheme) => { record.schemes.push(scheme); return disposable; },
    }, () => disposable),
    window: withDefault({
      showErrorMessage: async (message) => { record.errors.push(message); },
    }, () => undefined),
    EventEmitter: class { event = () => disposable; fire() {} dispose() {} },
  }, inert());
}

test("the packaged client activates: it registers what the manifest contributes", async () => {
  const folder = mkdtempSync(join(tmpdir(), "kestrel-vsix-"));
  const record = { commands: [], taskTypes: [], schemes: [], errors: [] };
  const load = Module._load;
  const path = process.env.PATH;
  try {
    writeFileSync(join(folder, "extension.js"), read(packaged(manifest.main)));
    Module._load = function (request, ...rest) {
      return request === "vscode" ? fakeVscode(record) : load.call(this, request, ...rest);
    };
    process.env.PATH = "";
    const extension = createRequire(import.meta.url)(join(folder, "extension.js"));
    await extension.activate({ subscriptions: [] });
  } finally {
    Module._load = load;
    process.env.PATH = path;
    rmSync(folder, { recursive: true });
  }
  const contributed = manifest.contributes;
  assert.deepEqual(record.commands.sort(), contributed.commands.map((c) => c.command).sort());
  assert.deepEqual(record.taskTypes, contributed.taskDefinitions.map((t) => t.type));
  assert.deepEqual(record.schemes, ["kestrel-output"]);
  assert.deepEqual(record.errors, [
    "kestrel-lsp was not found: install Kestrel, or set kestrel.serverPath."]);
});
