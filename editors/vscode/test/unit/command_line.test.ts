import assert from "node:assert/strict";
import { test } from "node:test";
import { compileCommand, defaultOutput, sourcesToCompile } from "../../src/command_line";

const noOptions = { rem: false, remUnnumbered: false, includeDirs: [] };

test("the task's kestrelc command line, from its definition and the settings", () => {
  const cases = [
    {
      what: "a main file alone: its output beside it, absolute paths, run in its folder",
      definition: { type: "kestrelc" as const, source: "src/MAIN.BAS" },
      settings: noOptions,
      args: ["-o", "/p/src/MAIN.out.BAS", "--", "/p/src/MAIN.BAS"],
      cwd: "/p/src",
    },
    {
      what: "the settings' comment options and include folders, in order",
      definition: { type: "kestrelc" as const, source: "MAIN.BAS" },
      settings: { rem: true, remUnnumbered: true, includeDirs: ["lib", "/opt/common"] },
      args: ["--rem", "--rem-unnumbered", "-I", "/p/lib", "-I", "/opt/common",
        "-o", "/p/MAIN.out.BAS", "--", "/p/MAIN.BAS"],
      cwd: "/p",
    },
    {
      what: "the task's own values win over the settings, false ones too",
      definition: { type: "kestrelc" as const, source: "MAIN.BAS", output: "out/BLINK.BAS",
        rem: false, remUnnumbered: true, includeDirs: [] },
      settings: { rem: true, remUnnumbered: false, includeDirs: ["lib"] },
      args: ["--rem-unnumbered", "-o", "/p/out/BLINK.BAS", "--", "/p/MAIN.BAS"],
      cwd: "/p",
    },
    {
      what: "a source whose name begins with a dash stays a source",
      definition: { type: "kestrelc" as const, source: "/q/-x.bas" },
      settings: noOptions,
      args: ["-o", "/q/-x.out.bas", "--", "/q/-x.bas"],
      cwd: "/q",
    },
  ];
  for (const c of cases) {
    const command = compileCommand(c.definition, c.settings, "/p", "linux");
    assert.deepEqual(command.args, c.args, c.what);
    assert.equal(command.cwd, c.cwd, c.what);
  }
});

test("on Windows the paths are the system's", () => {
  const command = compileCommand(
    { type: "kestrelc", source: "src\\MAIN.BAS", includeDirs: ["D:\\lib"] },
    noOptions,
    "C:\\work\\blink",
    "win32",
  );
  assert.deepEqual(command.args, ["-I", "D:\\lib", "-o", "C:\\work\\blink\\src\\MAIN.out.BAS",
    "--", "C:\\work\\blink\\src\\MAIN.BAS"]);
  assert.equal(command.cwd, "C:\\work\\blink\\src");
});

test("the default output keeps the extension and never names the source", () => {
  const cases: [string, string][] = [
    ["/p/MAIN.BAS", "/p/MAIN.out.BAS"],
    ["/p/prog", "/p/prog.out"],
    ["/p/v1.2/a.b.bas", "/p/v1.2/a.b.out.bas"],
    ["/p/.bas", "/p/.bas.out"],
  ];
  for (const [source, output] of cases) assert.equal(defaultOutput(source, "linux"), output, source);
});

test("Compile takes the file in the editor, or the main files that include it", () => {
  const mains = ["/p/MAIN.BAS", "/p/TEST.BAS"];
  const cases: { active: string | undefined; mains: string[]; platform: NodeJS.Platform; want: string[] }[] = [
    { active: "/p/MAIN.BAS", mains, platform: "linux", want: ["/p/MAIN.BAS"] },
    { active: "/p/./TEST.BAS", mains, platform: "linux", want: ["/p/./TEST.BAS"] },
    { active: "/p/PINS.BAS", mains, platform: "linux", want: mains },
    { active: "/p/main.bas", mains, platform: "linux", want: mains },
    { active: "C:\\p\\main.bas", mains: ["C:\\p\\MAIN.BAS"], platform: "win32", want: ["C:\\p\\main.bas"] },
    { active: "/p/PINS.BAS", mains: [], platform: "linux", want: ["/p/PINS.BAS"] },
    { active: undefined, mains, platform: "linux", want: mains },
    { active: undefined, mains: [], platform: "linux", want: [] },
  ];
  for (const c of cases) {
    assert.deepEqual(sourcesToCompile(c.active, c.mains, c.platform), c.want, `${String(c.active)} ${c.platform}`);
  }
});
