import * as path from "node:path";

// A task of type "kestrelc" as tasks.json or the task provider states it; the properties left
// out are taken from the settings.
export interface CompileTaskDefinition {
  type: "kestrelc";
  source: string;
  output?: string;
  rem?: boolean;
  remUnnumbered?: boolean;
  includeDirs?: string[];
}

export interface CompileSettings {
  rem: boolean;
  remUnnumbered: boolean;
  includeDirs: string[];
}

export interface CompileCommand {
  args: string[];
  cwd: string;
  output: string;
}

function pathApiFor(platform: NodeJS.Platform): path.PlatformPath {
  return platform === "win32" ? path.win32 : path.posix;
}

// MAIN.BAS is compiled to MAIN.out.BAS beside it: the same extension, so that whatever opens
// the source opens the result, and a name that never collides with the source's.
export function defaultOutput(source: string, platform: NodeJS.Platform): string {
  const pathApi = pathApiFor(platform);
  const { dir, name, ext } = pathApi.parse(source);
  return pathApi.join(dir, `${name}.out${ext}`);
}

// kestrelc's arguments for a task. Every path is made absolute from the workspace folder, so that
// the messages name files the problem matcher finds whatever folder the task runs in; the task
// runs in the source's folder, which kestrelc searches first for include files.
export function compileCommand(
  definition: CompileTaskDefinition,
  settings: CompileSettings,
  workspaceFolder: string,
  platform: NodeJS.Platform,
): CompileCommand {
  const pathApi = pathApiFor(platform);
  const absolute = (file: string): string => pathApi.resolve(workspaceFolder, file);
  const source = absolute(definition.source);
  const output = absolute(definition.output ?? defaultOutput(source, platform));
  const args: string[] = [];
  if (definition.rem ?? settings.rem) args.push("--rem");
  if (definition.remUnnumbered ?? settings.remUnnumbered) args.push("--rem-unnumbered");
  for (const folder of definition.includeDirs ?? settings.includeDirs) args.push("-I", absolute(folder));
  args.push("-o", output, "--", source);
  return { args, cwd: pathApi.dirname(source), output };
}

export function samePath(a: string, b: string, platform: NodeJS.Platform): boolean {
  const pathApi = pathApiFor(platform);
  const [left, right] = [pathApi.normalize(a), pathApi.normalize(b)];
  return platform === "win32" || platform === "darwin"
    ? left.toLowerCase() === right.toLowerCase()
    : left === right;
}

// What Compile compiles from the file in the editor: that file when it is a main file or no main
// files are set; otherwise the main files, which include it (the user picks when there are more).
export function sourcesToCompile(
  active: string | undefined,
  mainFiles: readonly string[],
  platform: NodeJS.Platform,
): string[] {
  if (active !== undefined && mainFiles.some((main) => samePath(main, active, platform))) {
    return [active];
  }
  if (mainFiles.length > 0) return [...mainFiles];
  return active === undefined ? [] : [active];
}
