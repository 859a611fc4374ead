import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";

interface Pattern { regexp: string; file: number; line: number; column: number; severity: number; message: number }
const manifest = JSON.parse(readFileSync("package.json", "utf8")) as {
  contributes: { problemMatchers: { name: string; pattern: Pattern }[] };
};
const matcher = manifest.contributes.problemMatchers.find((m) => m.name === "kestrelc");

// What VS Code makes of one line of kestrelc's standard error.
function problem(line: string): string[] | undefined {
  assert.ok(matcher !== undefined);
  const p = matcher.pattern;
  const m = new RegExp(p.regexp).exec(line);
  return m === null ? undefined : [p.file, p.line, p.column, p.severity, p.message].map((i) => m[i] ?? "");
}

test("$kestrelc takes kestrelc's located messages and leaves the rest", () => {
  const cases: [string, string[] | undefined][] = [
    ["/tmp/kt/LIB.BAS:2:3: error: Ошибка номера строки!3000",
      ["/tmp/kt/LIB.BAS", "2", "3", "error", "Ошибка номера строки!3000"]],
    ["M2.BAS:3:6: error: Ошибка - есть неуказанные метки ",
      ["M2.BAS", "3", "6", "error", "Ошибка - есть неуказанные метки "]],
    ["C:\\work\\blink\\PINS.BAS:12:1: error: ERROR #define  #define X 5",
      ["C:\\work\\blink\\PINS.BAS", "12", "1", "error", "ERROR #define  #define X 5"]],
    ["/p/my project/MAIN.BAS:4:1: note: [A] is first defined here",
      ["/p/my project/MAIN.BAS", "4", "1", "note", "[A] is first defined here"]],
    ["/p/a:b.bas:1:1: error: x: 2:3: error: y", ["/p/a:b.bas", "1", "1", "error", "x: 2:3: error: y"]],
    ["kestrelc: error: Error#53  MAIN.BAS: File not found", undefined],
    ["0001 GOTO [B]", undefined],
    ["COMPILE OK", undefined],
  ];
  for (const [line, want] of cases) assert.deepEqual(problem(line), want, line);
});
