import assert from "node:assert/strict";
import { test } from "node:test";
import { findProgram } from "../../src/server_path";

function lookup(files: string[], overrides: { setting?: string; platform?: NodeJS.Platform; pathVariable?: string }) {
  return {
    setting: overrides.setting ?? "",
    name: "kestrel-lsp",
    platform: overrides.platform ?? "linux",
    pathVariable: overrides.pathVariable,
    workspaceFolder: overrides.platform === "win32" ? "C:\\work" : "/work",
    home: overrides.platform === "win32" ? "C:\\Users\\ann" : "/home/ann",
    isFile: (candidate: string) => files.includes(candidate),
  };
}

test("the server is the setting's program, else the first on PATH", () => {
  const cases = [
    { what: "first folder of PATH that has it", files: ["/usr/bin/kestrel-lsp", "/opt/k/kestrel-lsp"],
      pathVariable: "/usr/local/bin::/opt/k:/usr/bin", want: "/opt/k/kestrel-lsp" },
    { what: "an empty PATH entry is not the current folder", files: ["kestrel-lsp"],
      pathVariable: ":/usr/bin", want: undefined },
    { what: "no PATH at all", files: ["/usr/bin/kestrel-lsp"], pathVariable: undefined, want: undefined },
    { what: "an absolute setting", files: ["/opt/k/kestrel-lsp", "/usr/bin/kestrel-lsp"],
      setting: "/opt/k/kestrel-lsp", pathVariable: "/usr/bin", want: "/opt/k/kestrel-lsp" },
    { what: "a relative setting is the workspace's", files: ["/work/build/bin/kestrel-lsp"],
      setting: "build/bin/kestrel-lsp", pathVariable: "/usr/bin", want: "/work/build/bin/kestrel-lsp" },
    { what: "~ is the home folder", files: ["/home/ann/bin/kestrel-lsp"],
      setting: "~/bin/kestrel-lsp", want: "/home/ann/bin/kestrel-lsp" },
    { what: "a setting that names nothing does not fall back to PATH", files: ["/usr/bin/kestrel-lsp"],
      setting: "/gone/kestrel-lsp", pathVariable: "/usr/bin", want: undefined },
    { what: "a setting of blanks is no setting", files: ["/usr/bin/kestrel-lsp"],
      setting: "  ", pathVariable: "/usr/bin", want: "/usr/bin/kestrel-lsp" },
  ];
  for (const c of cases) {
    assert.equal(findProgram(lookup(c.files, c)), c.want, c.what);
  }
});

test("on Windows the .exe is found along PATH, quoted entries too", () => {
  const cases = [
    { files: ["C:\\Program Files\\Kestrel\\kestrel-lsp.exe"],
      pathVariable: "C:\\Windows;\"C:\\Program Files\\Kestrel\"", want: "C:\\Program Files\\Kestrel\\kestrel-lsp.exe" },
    { files: ["C:\\Kestrel\\kestrel-lsp"], pathVariable: "C:\\Kestrel", want: undefined },
    { files: ["C:\\work\\tools\\kestrel-lsp.exe"], setting: "tools\\kestrel-lsp.exe", want: "C:\\work\\tools\\kestrel-lsp.exe" },
    { files: ["D:\\k\\kestrel-lsp.exe"], setting: "D:\\k\\kestrel-lsp.exe", want: "D:\\k\\kestrel-lsp.exe" },
    { files: ["C:\\Users\\ann\\k\\kestrel-lsp.exe"], setting: "~\\k\\kestrel-lsp.exe", want: "C:\\Users\\ann\\k\\kestrel-lsp.exe" },
  ];
  for (const c of cases) {
    assert.equal(findProgram(lookup(c.files, { ...c, platform: "win32" })), c.want, JSON.stringify(c));
  }
});
