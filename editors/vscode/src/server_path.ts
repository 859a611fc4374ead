import * as path from "node:path";

// Where a program the extension starts is looked for: the setting when it names one, else the
// folders of PATH, in order, as the system would look.
export interface ProgramLookup {
  setting: string;
  name: string;
  platform: NodeJS.Platform;
  pathVariable: string | undefined;
  workspaceFolder: string | undefined;
  home: string;
  isFile: (candidate: string) => boolean;
}

// Only the .exe is looked for on Windows: a batch file cannot be started without a shell.
export function programFileName(name: string, platform: NodeJS.Platform): string {
  return platform === "win32" ? `${name}.exe` : name;
}

function pathApiFor(platform: NodeJS.Platform): path.PlatformPath {
  return platform === "win32" ? path.win32 : path.posix;
}

// A relative setting is taken from the workspace folder, so that a project can name a program
// kept in its own tree; a leading "~" stands for the home folder.
function resolveSetting(lookup: ProgramLookup): string {
  const pathApi = pathApiFor(lookup.platform);
  let setting = lookup.setting.trim();
  if (setting === "~" || /^~[/\\]/.test(setting)) setting = lookup.home + setting.slice(1);
  if (pathApi.isAbsolute(setting) || lookup.workspaceFolder === undefined) return setting;
  return pathApi.join(lookup.workspaceFolder, setting);
}

// The program's full path, or undefined when it is nowhere to be found.
export function findProgram(lookup: ProgramLookup): string | undefined {
  if (lookup.setting.trim() !== "") {
    const resolved = resolveSetting(lookup);
    return lookup.isFile(resolved) ? resolved : undefined;
  }
  const pathApi = pathApiFor(lookup.platform);
  const separator = lookup.platform === "win32" ? ";" : ":";
  const name = programFileName(lookup.name, lookup.platform);
  for (const entry of (lookup.pathVariable ?? "").split(separator)) {
    // Windows allows a PATH entry in quotes; an empty entry means nothing here, not ".".
    const folder = entry.replace(/^"(.*)"$/, "$1");
    if (folder === "") continue;
    const candidate = pathApi.join(folder, name);
    if (lookup.isFile(candidate)) return candidate;
  }
  return undefined;
}
