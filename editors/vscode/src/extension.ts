import * as fs from "node:fs";
import * as os from "node:os";
import * as path from "node:path";
import * as vscode from "vscode";
import {
  ExecuteCommandRequest,
  LanguageClient,
  type LanguageClientOptions,
  type Location as ProtocolLocation,
  type ServerOptions,
} from "vscode-languageclient/node";
import { compileCommand, type CompileTaskDefinition, sourcesToCompile } from "./command_line";
import { findProgram, programFileName } from "./server_path";

const languageId = "kestrel";
const taskType = "kestrelc";
const outputScheme = "kestrel-output";
// The output follows edits, but not every keystroke: a pause this long starts a compile.
const outputDelayMs = 300;

let client: LanguageClient | undefined;

function isFile(candidate: string): boolean {
  try {
    return fs.statSync(candidate).isFile();
  } catch {
    return false;
  }
}

function settings(scope?: vscode.ConfigurationScope): vscode.WorkspaceConfiguration {
  return vscode.workspace.getConfiguration("kestrel", scope);
}

function firstFolder(): vscode.WorkspaceFolder | undefined {
  return vscode.workspace.workspaceFolders?.[0];
}

function locateProgram(name: string, setting: string): string | undefined {
  return findProgram({
    setting: settings().get<string>(setting, ""),
    name,
    platform: process.platform,
    pathVariable: process.env.PATH,
    workspaceFolder: firstFolder()?.uri.fsPath,
    home: os.homedir(),
    isFile,
  });
}

// Each missing program is reported once until a setting changes, not for every task listed.
const reportedMissing = new Set<string>();

async function reportMissing(name: string, setting: string): Promise<void> {
  if (reportedMissing.has(name)) return;
  reportedMissing.add(name);
  const open = "Open Settings";
  const answer = await vscode.window.showErrorMessage(
    `${programFileName(name, process.platform)} was not found: install Kestrel, or set kestrel.${setting}.`,
    open,
  );
  if (answer === open) {
    await vscode.commands.executeCommand("workbench.action.openSettings", `kestrel.${setting}`);
  }
}

async function startClient(): Promise<void> {
  const server = locateProgram("kestrel-lsp", "serverPath");
  if (server === undefined) {
    void reportMissing("kestrel-lsp", "serverPath");
    return;
  }
  const serverOptions: ServerOptions = { command: server, args: [] };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ language: languageId }],
    synchronize: { configurationSection: "kestrel" },
  };
  const starting = new LanguageClient("kestrel", "Kestrel", serverOptions, clientOptions);
  try {
    await starting.start();
    client = starting;
  } catch (error) {
    void vscode.window.showErrorMessage(`Kestrel: ${server} did not start: ${String(error)}`);
  }
}

async function stopClient(): Promise<void> {
  const running = client;
  client = undefined;
  if (running !== undefined) await running.stop();
}

function runningClient(): LanguageClient | undefined {
  if (client === undefined) void reportMissing("kestrel-lsp", "serverPath");
  return client;
}

// The compile task.

function taskFor(definition: CompileTaskDefinition, folder: vscode.WorkspaceFolder): vscode.Task {
  const compiler = locateProgram("kestrelc", "compilerPath");
  if (compiler === undefined) void reportMissing("kestrelc", "compilerPath");
  const scope = settings(folder.uri);
  const command = compileCommand(
    definition,
    {
      rem: scope.get<boolean>("rem", false),
      remUnnumbered: scope.get<boolean>("remUnnumbered", false),
      includeDirs: scope.get<string[]>("includeDirs", []),
    },
    folder.uri.fsPath,
    process.platform,
  );
  const execution = new vscode.ProcessExecution(
    compiler ?? programFileName("kestrelc", process.platform),
    command.args,
    { cwd: command.cwd },
  );
  const task = new vscode.Task(
    definition,
    folder,
    `compile ${definition.source}`,
    taskType,
    execution,
    "$kestrelc",
  );
  task.group = vscode.TaskGroup.Build;
  return task;
}

function mainFiles(folder: vscode.WorkspaceFolder): string[] {
  return settings(folder.uri).get<string[]>("mainFiles", []);
}

function activeKestrelFile(): vscode.Uri | undefined {
  const document = vscode.window.activeTextEditor?.document;
  return document?.languageId === languageId && document.uri.scheme === "file"
    ? document.uri
    : undefined;
}

const taskProvider: vscode.TaskProvider = {
  provideTasks(): vscode.Task[] {
    const tasks: vscode.Task[] = [];
    for (const folder of vscode.workspace.workspaceFolders ?? []) {
      for (const source of mainFiles(folder)) tasks.push(taskFor({ type: taskType, source }, folder));
    }
    const active = activeKestrelFile();
    const folder = active && vscode.workspace.getWorkspaceFolder(active);
    if (tasks.length === 0 && active !== undefined && folder !== undefined) {
      const source = vscode.workspace.asRelativePath(active, false);
      tasks.push(taskFor({ type: taskType, source }, folder));
    }
    return tasks;
  },
  resolveTask(task: vscode.Task): vscode.Task | undefined {
    const definition = task.definition as CompileTaskDefinition;
    const folder = typeof task.scope === "object" ? task.scope : firstFolder();
    if (typeof definition.source !== "string" || folder === undefined) return undefined;
    return taskFor(definition, folder);
  },
};

async function compile(): Promise<void> {
  const active = activeKestrelFile();
  const folder = (active && vscode.workspace.getWorkspaceFolder(active)) ?? firstFolder();
  if (folder === undefined) {
    void vscode.window.showErrorMessage("Kestrel: open a folder or a Kestrel file to compile.");
    return;
  }
  const mains = mainFiles(folder).map((main) => vscode.Uri.joinPath(folder.uri, main).fsPath);
  const sources = sourcesToCompile(active?.fsPath, mains, process.platform);
  const source =
    sources.length > 1
      ? await vscode.window.showQuickPick(sources, { placeHolder: "The main file to compile" })
      : sources[0];
  if (source === undefined) return;
  await Promise.all(
    vscode.workspace.textDocuments
      .filter((document) => document.isDirty && document.languageId === languageId)
      .map((document) => document.save()),
  );
  // Named from the folder, as the provider names the main files' tasks.
  const relative = path.relative(folder.uri.fsPath, source);
  await vscode.tasks.executeTask(taskFor({ type: taskType, source: relative }, folder));
}

// The output beside the source: a read-only document of the server's compile of the source as
// it stands in the editor, saved or not.

function outputUri(source: vscode.Uri): vscode.Uri {
  return vscode.Uri.from({
    scheme: outputScheme,
    path: `${source.path} (output)`,
    query: source.toString(),
  });
}

function sourceOf(uri: vscode.Uri): vscode.Uri {
  return uri.scheme === outputScheme ? vscode.Uri.parse(uri.query) : uri;
}

interface OutputReply {
  output: string;
}

class OutputDocuments implements vscode.TextDocumentContentProvider {
  private readonly changed = new vscode.EventEmitter<vscode.Uri>();
  private readonly shown = new Map<string, string>();
  private timer: NodeJS.Timeout | undefined;
  readonly onDidChange = this.changed.event;

  async provideTextDocumentContent(uri: vscode.Uri): Promise<string> {
    const previous = this.shown.get(uri.toString()) ?? "";
    const running = client;
    if (running === undefined) return previous;
    try {
      const reply = (await running.sendRequest(ExecuteCommandRequest.type, {
        command: "kestrel.output",
        arguments: [uri.query],
      })) as OutputReply | null;
      const text = typeof reply?.output === "string" ? reply.output : previous;
      this.shown.set(uri.toString(), text);
      return text;
    } catch (error) {
      vscode.window.setStatusBarMessage(`Kestrel: no output: ${String(error)}`, 5000);
      return previous;
    }
  }

  refreshSoon(): void {
    if (this.timer !== undefined) clearTimeout(this.timer);
    this.timer = setTimeout(() => {
      this.timer = undefined;
      for (const document of vscode.workspace.textDocuments) {
        if (document.uri.scheme === outputScheme) this.changed.fire(document.uri);
      }
    }, outputDelayMs);
  }

  forget(uri: vscode.Uri): void {
    this.shown.delete(uri.toString());
  }

  dispose(): void {
    if (this.timer !== undefined) clearTimeout(this.timer);
    this.changed.dispose();
  }
}

async function showOutput(): Promise<void> {
  const source = activeKestrelFile();
  if (source === undefined || runningClient() === undefined) return;
  const document = await vscode.workspace.openTextDocument(outputUri(source));
  await vscode.window.showTextDocument(document, {
    viewColumn: vscode.ViewColumn.Beside,
    preserveFocus: true,
    preview: false,
  });
}

// "ERROR IN 345": the target names a line of the output; this finds the source line that made it.
async function goToBasicLine(): Promise<void> {
  const editor = vscode.window.activeTextEditor;
  const running = runningClient();
  if (editor === undefined || running === undefined) return;
  const selected = editor.document.getText(editor.selection).trim();
  const answer = await vscode.window.showInputBox({
    prompt: "A BASIC line number, as the target reports it",
    placeHolder: "345",
    value: /^\d+$/.test(selected) ? selected : undefined,
    validateInput: (value) => (/^\s*\d{1,5}\s*$/.test(value) ? undefined : "A line number: digits only"),
  });
  if (answer === undefined) return;
  const line = Number(answer.trim());
  const source = sourceOf(editor.document.uri);
  const location = (await running.sendRequest(ExecuteCommandRequest.type, {
    command: "kestrel.sourceOfLine",
    arguments: [source.toString(), line],
  })) as ProtocolLocation | null | undefined;
  if (location === null || location === undefined) {
    void vscode.window.showInformationMessage(`Kestrel: no output line is numbered ${answer.trim()}.`);
    return;
  }
  const target = running.protocol2CodeConverter.asLocation(location);
  await vscode.window.showTextDocument(target.uri, {
    selection: target.range,
    viewColumn: editor.document.uri.scheme === outputScheme ? vscode.ViewColumn.One : undefined,
  });
}

interface UnnumberReply {
  converted: boolean;
  source: string;
  comments: "none" | "rem" | "remUnnumbered";
  findings: { location: ProtocolLocation; severity: number; message: string }[];
}

// A numbered program into a source with labels, as kestrelc --unnumber makes it, in a new editor
// beside it; a line the notation cannot say stops it, and the first such line is named.
async function convertToLabels(): Promise<void> {
  const editor = vscode.window.activeTextEditor;
  const running = runningClient();
  if (editor === undefined || running === undefined) return;
  const reply = (await running.sendRequest(ExecuteCommandRequest.type, {
    command: "kestrel.unnumber",
    arguments: [editor.document.uri.toString()],
  })) as UnnumberReply | null | undefined;
  if (reply === null || reply === undefined) return;
  if (!reply.converted) {
    const refusal = reply.findings.find((finding) => finding.severity === 1);
    const line =
      refusal === undefined
        ? ""
        : ` line ${String(refusal.location.range.start.line + 1)}: ${refusal.message}`;
    void vscode.window.showErrorMessage(`Kestrel: not converted:${line}`);
    return;
  }
  const document = await vscode.workspace.openTextDocument({ language: languageId, content: reply.source });
  await vscode.window.showTextDocument(document, { viewColumn: vscode.ViewColumn.Beside });
  if (reply.comments !== "none")
    void vscode.window.showInformationMessage(`Kestrel: compile the source with kestrel.${reply.comments} set.`);
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  const outputs = new OutputDocuments();
  context.subscriptions.push(
    outputs,
    vscode.workspace.registerTextDocumentContentProvider(outputScheme, outputs),
    vscode.tasks.registerTaskProvider(taskType, taskProvider),
    vscode.commands.registerCommand("kestrel.compile", compile),
    vscode.commands.registerCommand("kestrel.showOutput", showOutput),
    vscode.commands.registerCommand("kestrel.goToBasicLine", goToBasicLine),
    vscode.commands.registerCommand("kestrel.convertToLabels", convertToLabels),
    vscode.commands.registerCommand("kestrel.restartServer", async () => {
      reportedMissing.clear();
      await stopClient();
      await startClient();
    }),
    vscode.workspace.onDidChangeTextDocument((event) => {
      if (event.document.languageId === languageId) outputs.refreshSoon();
    }),
    vscode.workspace.onDidCloseTextDocument((document) => {
      outputs.forget(document.uri);
    }),
    vscode.workspace.onDidChangeConfiguration(async (event) => {
      if (event.affectsConfiguration("kestrel.serverPath")) reportedMissing.delete("kestrel-lsp");
      if (event.affectsConfiguration("kestrel.compilerPath")) reportedMissing.delete("kestrelc");
      if (event.affectsConfiguration("kestrel.serverPath")) {
        await stopClient();
        await startClient();
      }
      if (event.affectsConfiguration("kestrel")) outputs.refreshSoon();
    }),
  );
  await startClient();
}

export function deactivate(): Promise<void> {
  return stopClient();
}
