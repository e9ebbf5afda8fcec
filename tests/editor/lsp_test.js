// `tarnwick-config lsp` driven as an editor drives it, through the protocol's own client library:
// diagnostics that are `check`'s faults one for one and follow edits, hover, completion, the
// outline, a quick fix, and an orderly shutdown.
// Usage: node lsp_test.js TARNWICK_CONFIG EXAMPLES_DIR
"use strict";
const { spawn, spawnSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const { pathToFileURL } = require("url");
const {
  createProtocolConnection,
  StreamMessageReader,
  StreamMessageWriter,
  ErrorCodes,
} = require("vscode-languageserver-protocol/node");

const tool = path.resolve(process.argv[2]);
const examples = path.resolve(process.argv[3]);
const WAIT_MS = 10000;
const schema = JSON.parse(spawnSync(tool, ["schema"], { encoding: "utf8" }).stdout);

const results = [];
function check(name, ok, detail) {
  results.push(ok);
  console.log(`${ok ? "ok" : "not ok"} - ${name}${ok ? "" : `: ${detail}`}`);
}

function within(promise, what) {
  let timer;
  const late = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what}: no answer within ${WAIT_MS} ms`)), WAIT_MS);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// The faults `check --format json` reports for `text` (read from standard input).
function faultsOf(text, discoveryOnly = false) {
  const args = ["check", "--format", "json", ...(discoveryOnly ? ["--discovery-only"] : []), "-"];
  const run = spawnSync(tool, args, { input: text, encoding: "utf8" });
  return run.stdout.trim() ? JSON.parse(run.stdout) : [];
}

// A fault and a diagnostic as comparable text: where, what code, how severe. A fault without an
// end (malformed YAML) is compared by its start only.
const at = (line, character) => `${line}:${character}`;
function faultKey(f) {
  const end = f.end_line === undefined ? "" : `-${at(f.end_line - 1, f.end_column - 1)}`;
  const severity = { error: 1, warning: 2, note: 3 }[f.severity];
  return `${at(f.line - 1, f.column - 1)}${end} ${f.rule} ${severity}`;
}
function diagnosticKey(d, withEnd = true) {
  const { start, end } = d.range;
  const until = withEnd ? `-${at(end.line, end.character)}` : "";
  return `${at(start.line, start.character)}${until} ${d.code} ${d.severity}`;
}

// Diagnostics and faults matched as multisets; the mismatches in both directions.
function mismatches(diagnostics, faults) {
  const wanted = faults.map(faultKey).sort();
  const got = diagnostics
    .map((d) => diagnosticKey(d, !faults.some((f) => f.end_line === undefined)))
    .sort();
  const missing = wanted.filter((k) => !got.includes(k));
  const extra = got.filter((k) => !wanted.includes(k));
  return missing.length || extra.length || got.length !== wanted.length
    ? `missing [${missing.join("; ")}], unexpected [${extra.join("; ")}]`
    : "";
}

// Each fault's diagnostic carries its source, "LOC: MSG" and its hint as related information.
function wordingFaults(uri, diagnostics, faults) {
  const wrong = [];
  for (const f of faults) {
    const d = diagnostics.find((x) => diagnosticKey(x) === faultKey(f));
    if (!d) continue;  // reported by mismatches()
    const related = (d.relatedInformation || []).map((r) => [
      r.location.uri,
      diagnosticKey({ ...d, range: r.location.range }),
      r.message,
    ]);
    const wantRelated = f.hint ? [[uri, diagnosticKey(d), f.hint]] : [];
    // The hint is in the message too: not every editor shows related information.
    const hint = f.hint ? ` (${f.hint})` : "";
    if (d.source !== "tarnwick-config" || d.message !== `${f.loc.join(".")}: ${f.msg}${hint}` ||
        JSON.stringify(related) !== JSON.stringify(wantRelated)) {
      wrong.push(JSON.stringify(d));
    }
  }
  return wrong.join("\n");
}

// The client side of one session: requests answered within WAIT_MS, documents opened and
// changed, and the diagnostics published for each version of each document.
class Client {
  constructor(connection) {
    this.connection = connection;
    this.latest = new Map();
    this.waiters = [];
    connection.onNotification("textDocument/publishDiagnostics", (p) => {
      this.latest.set(p.uri, p);
      this.waiters = this.waiters.filter((w) => !w());
    });
    // Requests from the server (configuration, registrations): an editor answers each.
    connection.onRequest((method, params) =>
      method === "workspace/configuration" ? params.items.map(() => null) : null,
    );
  }

  ask(method, params, what = method) {
    return within(this.connection.sendRequest(method, params), what);
  }

  tell(method, params) {
    this.connection.sendNotification(method, params);
  }

  open(name, text) {
    const uri = pathToFileURL(path.join(examples, name)).href;
    const textDocument = { uri, languageId: "yaml", version: 1, text };
    this.tell("textDocument/didOpen", { textDocument });
    return uri;
  }

  change(uri, version, contentChanges) {
    this.tell("textDocument/didChange", { textDocument: { uri, version }, contentChanges });
    return this.diagnostics(uri, version);
  }

  diagnostics(uri, version) {
    const published = new Promise((resolve) => {
      const ready = () => {
        const p = this.latest.get(uri);
        if (!p || p.version !== version) return false;
        resolve(p.diagnostics);
        return true;
      };
      if (!ready()) this.waiters.push(ready);
    });
    return within(published, `diagnostics of ${path.basename(uri)} version ${version}`);
  }
}

function textOf(contents) {
  if (typeof contents === "string") return contents;
  if (Array.isArray(contents)) return contents.map(textOf).join("\n");
  return contents ? contents.value : "";
}

// accounts(regions(VPCs)) as one line: "310000000001(us-east-1(vpc-1,vpc-2))".
function outline(symbols) {
  return (symbols || [])
    .map((s) => (s.children && s.children.length ? `${s.name}(${outline(s.children)})` : s.name))
    .join(",");
}

// An incremental change applied to the client's copy (ASCII text: UTF-16 units are bytes).
function applyChange(text, { range, text: newText }) {
  const lines = text.split("\n");
  const offset = (p) => lines.slice(0, p.line).reduce((n, l) => n + l.length + 1, 0) + p.character;
  return text.slice(0, offset(range.start)) + newText + text.slice(offset(range.end));
}

function rangeOf(text, line, word) {
  const character = text.split("\n")[line].indexOf(word);
  return { start: { line, character }, end: { line, character: character + word.length } };
}

// Documents with the cursor marked "@", and what must and must not be offered there.
const keysOf = (record) => Object.keys(schema.definitions[record].properties);
const completionCases = [
  {
    where: "a key under corvane",
    text: "corvane:\n  controller_ip: 10.1.1.1\n  @\n",
    offered: keysOf("CorvaneConfig").filter((k) => k !== "controller_ip"),
    notOffered: ["controller_ip"],
  },
  {
    where: "a region value",
    text: 'account_info:\n  - account_id: "310000000001"\n    regions:\n      - region: @\n',
    offered: ["us-east-1", "eu-west-1"],
    notOffered: [],
  },
  {
    where: "the tf_controller_access mode",
    text: "corvane:\n  tf_controller_access:\n    mode: @\n",
    offered: ["ENV", "SSM"],
    notOffered: [],
  },
];

async function expectError(request, code, name) {
  try {
    await request;
    check(name, false, "answered without an error");
  } catch (e) {
    check(name, e.code === code, `${e.code}: ${e.message}`);
  }
}

async function initialize(client) {
  const folder = pathToFileURL(examples).href;
  const { capabilities: caps } = await client.ask("initialize", {
    processId: process.pid,
    rootUri: folder,
    workspaceFolders: [{ uri: folder, name: "examples" }],
    capabilities: {
      general: { positionEncodings: ["utf-16"] },
      textDocument: {
        publishDiagnostics: { relatedInformation: true, versionSupport: true },
        hover: { contentFormat: ["markdown", "plaintext"] },
        documentSymbol: { hierarchicalDocumentSymbolSupport: true },
        codeAction: { codeActionLiteralSupport: { codeActionKind: { valueSet: ["quickfix"] } } },
      },
    },
  });
  const sync = caps.textDocumentSync || {};
  check(
    "initialize announces the features",
    sync.openClose === true && sync.change === 2 && caps.hoverProvider === true &&
      Array.isArray(caps.completionProvider?.triggerCharacters) &&
      caps.documentSymbolProvider === true &&
      (caps.codeActionProvider?.codeActionKinds || []).includes("quickfix") &&
      caps.positionEncoding === "utf-16",
    JSON.stringify(caps),
  );
  client.tell("initialized", {});
}

async function diagnosticsAndMode(client, uri, original) {
  const d1 = await client.diagnostics(uri, 1);
  const faults = faultsOf(original);
  const wrongPlaces = mismatches(d1, faults);
  check("the diagnostics are check's faults (positions, codes, severities)",
        faults.length > 5 && !wrongPlaces, wrongPlaces);
  const wrongWords = wordingFaults(uri, d1, faults);
  check("each diagnostic is worded as the fault, hints in it and as related information",
        faults.some((f) => f.hint) && !wrongWords, wrongWords);

  const discoveryText = `# tarnwick-config: discovery-only\n${original}`;
  const d = await client.diagnostics(client.open("lsp-discovery.yaml", discoveryText), 1);
  const wanted = faultsOf(discoveryText, true);
  check("a discovery-only comment checks as --discovery-only",
        wanted.length < faults.length && !mismatches(d, wanted), mismatches(d, wanted));
  return d1;
}

async function hovers(client, uri, original) {
  const lines = original.split("\n");
  const hoverAt = (text, what) => {
    const line = lines.findIndex((l) => l.includes(text));
    const position = { line, character: lines[line].indexOf(text) + 2 };
    return client.ask("textDocument/hover", { textDocument: { uri }, position }, what);
  };
  const key = await hoverAt("controller_ip:", "hover on a key");
  const description = schema.definitions.CorvaneConfig.properties.controller_ip.description;
  check("hover on controller_ip shows its description in markdown",
        key && key.contents.kind === "markdown" && textOf(key.contents).includes(description),
        JSON.stringify(key));
  const vpc = textOf((await hoverAt("vpc-0a11", "hover on a VPC") || {}).contents);
  check("hover on a VPC names its vpc id, account and region",
        ["vpc-0a11b22c33d44e501", "31000000000l", "US-EAST-1"].every((s) => vpc.includes(s)), vpc);
}

async function completions(client) {
  let n = 0;
  for (const c of completionCases) {
    const lines = c.text.split("\n");
    const line = lines.findIndex((l) => l.includes("@"));
    const uri = client.open(`lsp-completion-${n++}.yaml`, c.text.replace("@", ""));
    const list = await client.ask("textDocument/completion", {
      textDocument: { uri },
      position: { line, character: lines[line].indexOf("@") },
    });
    const labels = new Set(((list && list.items) || list || []).map((i) => i.label));
    const wrong = [
      ...c.offered.filter((k) => !labels.has(k)),
      ...c.notOffered.filter((k) => labels.has(k)),
    ];
    check(`completion at ${c.where}`, wrong.length === 0, `wrong: ${wrong} in ${[...labels]}`);
  }
}

async function outlineAndFix(client, uri, diagnostics) {
  const shape = outline(await client.ask("textDocument/documentSymbol", { textDocument: { uri } }));
  check("the outline is accounts > regions > VPCs",
        shape === "31000000000l(US-EAST-1(vpc-0a11b22c33d44e501))", shape);

  const region = diagnostics.find((d) => d.message.startsWith("account_info.0.regions.0.region:"));
  const actions = region
    ? await client.ask("textDocument/codeAction", {
        textDocument: { uri },
        range: region.range,
        context: { diagnostics: [region], only: ["quickfix"] },
      })
    : [];
  // Compared member by member: JSON key order is no part of the protocol.
  const at = (r) => r && [r.start.line, r.start.character, r.end.line, r.end.character].join();
  const fixes = (actions || []).filter((a) => a.kind === "quickfix" && a.edit);
  check("a quick fix replaces US-EAST-1 by us-east-1",
        fixes.some((a) => {
          const edits = a.edit.changes && a.edit.changes[uri];
          return edits && edits.length === 1 && edits[0].newText === "us-east-1" &&
                 at(edits[0].range) === at(region.range);
        }),
        JSON.stringify(actions));
  return shape;
}

async function edits(client, uri, original, shape) {
  const lineOf = (s) => original.split("\n").findIndex((l) => l.includes(s));
  const ip = rangeOf(original, lineOf("controller_ip:"), "10.10.0.300");
  const fixIp = { range: ip, text: "10.10.0.30" };
  const fixed = applyChange(original, fixIp);
  const d2 = await client.change(uri, 2, [fixIp]);
  const f2 = faultsOf(fixed);
  check("an edit fixing controller_ip removes its diagnostic, and only it",
        !d2.some((d) => d.code === "value_error.ipv4address") && d2.length > 0 &&
          !mismatches(d2, f2),
        mismatches(d2, f2));

  const breakIt = { range: rangeOf(fixed, lineOf("id: vpc_migrate"), "vpc_migrate"), text: "[vpc" };
  const broken = applyChange(fixed, breakIt);
  const d3 = await client.change(uri, 3, [breakIt]);
  check("malformed YAML gives its one diagnostic",
        d3.length === 1 && d3[0].code === "document_error.malformed_yaml" &&
          !mismatches(d3, faultsOf(broken)),
        JSON.stringify(d3));
  const kept = outline(await client.ask("textDocument/documentSymbol", { textDocument: { uri } }));
  check("the outline survives malformed YAML", kept === shape, kept);

  const d4 = await client.change(uri, 4, [{ text: original }]);
  const f4 = faultsOf(original);
  check("a full-text change is checked as well", !mismatches(d4, f4), mismatches(d4, f4));
}

async function main() {
  const server = spawn(tool, ["lsp"], { stdio: ["pipe", "pipe", "inherit"] });
  const exited = new Promise((resolve) => {
    server.on("exit", (code, signal) => resolve({ code, signal }));
  });
  const connection = createProtocolConnection(
    new StreamMessageReader(server.stdout),
    new StreamMessageWriter(server.stdin),
  );
  const client = new Client(connection);
  connection.listen();

  const uri = pathToFileURL(path.join(examples, "invalid.yaml")).href;
  const early = { textDocument: { uri }, position: { line: 0, character: 0 } };
  await expectError(client.ask("textDocument/hover", early), ErrorCodes.ServerNotInitialized,
                    "a request before initialize is refused with -32002");
  await initialize(client);
  await expectError(client.ask("tarnwick/noSuchRequest", {}), ErrorCodes.MethodNotFound,
                    "an unknown request is refused with -32601");

  const original = fs.readFileSync(path.join(examples, "invalid.yaml"), "utf8");
  client.open("invalid.yaml", original);
  const diagnostics = await diagnosticsAndMode(client, uri, original);
  await hovers(client, uri, original);
  await completions(client);
  const shape = await outlineAndFix(client, uri, diagnostics);
  await edits(client, uri, original, shape);

  await client.ask("shutdown");
  client.tell("exit");
  const { code, signal } = await within(exited, "exit");
  check("the server ends with status 0 after shutdown and exit", code === 0,
        `status ${code}, signal ${signal}`);
  connection.dispose();
}

main()
  .catch((e) => check("the session runs to its end", false, e.stack || e))
  .finally(() => {
    const failed = results.filter((r) => !r).length;
    console.log(`lsp: ${results.length - failed} passed, ${failed} failed`);
    process.exit(failed ? 1 : 0);
  });
