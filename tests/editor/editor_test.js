// The exported schema in the YAML language server that editors run, driven over stdio as an editor
// drives it: key completion at every level, a hover, and the faults it marks in invalid.yaml, in
// both of its YAML version settings.
// Usage: node editor_test.js SCHEMA_FILE EXAMPLES_DIR
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");
const path = require("path");
const { pathToFileURL } = require("url");

const schemaFile = path.resolve(process.argv[2]);
const examples = path.resolve(process.argv[3]);
const schema = JSON.parse(fs.readFileSync(schemaFile, "utf8"));
const modeline = `# yaml-language-server: $schema=${pathToFileURL(schemaFile)}`;

// One language server process; requests and notifications in JSON-RPC with Content-Length frames.
class Server {
  constructor() {
    const bin = require.resolve("yaml-language-server/bin/yaml-language-server");
    this.proc = spawn(process.execPath, [bin, "--stdio"], { stdio: ["pipe", "pipe", "inherit"] });
    this.nextId = 1;
    this.pending = new Map();
    this.diagnostics = new Map();
    this.waiters = [];
    this.buffer = Buffer.alloc(0);
    this.proc.stdout.on("data", (chunk) => this.receive(chunk));
  }

  receive(chunk) {
    this.buffer = Buffer.concat([this.buffer, chunk]);
    for (;;) {
      const end = this.buffer.indexOf("\r\n\r\n");
      if (end < 0) return;
      const length = Number(/Content-Length: (\d+)/i.exec(this.buffer.slice(0, end).toString())[1]);
      if (this.buffer.length < end + 4 + length) return;
      const message = JSON.parse(this.buffer.slice(end + 4, end + 4 + length).toString("utf8"));
      this.buffer = this.buffer.slice(end + 4 + length);
      this.dispatch(message);
    }
  }

  dispatch(m) {
    if (m.id !== undefined && m.method) {
      // A request from the server (configuration, registrations): an editor answers each.
      const result = m.method === "workspace/configuration" ? m.params.items.map(() => null) : null;
      this.write({ jsonrpc: "2.0", id: m.id, result });
    } else if (m.id !== undefined) {
      const { resolve, reject } = this.pending.get(m.id);
      this.pending.delete(m.id);
      m.error ? reject(new Error(m.error.message)) : resolve(m.result);
    } else if (m.method === "textDocument/publishDiagnostics") {
      this.diagnostics.set(m.params.uri, m.params.diagnostics);
      this.waiters = this.waiters.filter((w) => !w());
    }
  }

  write(message) {
    const body = Buffer.from(JSON.stringify(message), "utf8");
    this.proc.stdin.write(`Content-Length: ${body.length}\r\n\r\n`);
    this.proc.stdin.write(body);
  }

  request(method, params) {
    const id = this.nextId++;
    this.write({ jsonrpc: "2.0", id, method, params });
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  notify(method, params) {
    this.write({ jsonrpc: "2.0", method, params });
  }

  // The diagnostics of `uri`, once the server has published a non-empty list (the first list it
  // publishes may come before the schema is loaded).
  diagnosticsOf(uri, ms = 20000) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no diagnostics for ${uri}`)), ms);
      const check = () => {
        const d = this.diagnostics.get(uri);
        if (!d || d.length === 0) return false;
        clearTimeout(timer);
        resolve(d);
        return true;
      };
      if (!check()) this.waiters.push(check);
    });
  }

  async start(yamlVersion) {
    await this.request("initialize", {
      processId: process.pid,
      rootUri: null,
      capabilities: { textDocument: { completion: { completionItem: { snippetSupport: true } } } },
    });
    this.notify("initialized", {});
    this.notify("workspace/didChangeConfiguration", {
      settings: { yaml: { yamlVersion, validate: true, hover: true, completion: true } },
    });
  }

  open(name, text) {
    const uri = pathToFileURL(path.join(examples, name)).href;
    this.notify("textDocument/didOpen", {
      textDocument: { uri, languageId: "yaml", version: 1, text },
    });
    return uri;
  }

  async stop() {
    await this.request("shutdown", null);
    this.notify("exit", null);
  }
}

function keysOf(record) {
  const def = record ? schema.definitions[record] : schema;
  return Object.keys(def.properties);
}

// Documents with the cursor on a blank line of a mapping (marked "@"), and the record whose keys
// must all be offered there, less those the mapping already has.
const completionCases = [
  { where: "top level", record: null, present: [], text: "@\n" },
  {
    where: "account",
    record: "AccountInfo",
    present: ["account_id"],
    text: 'account_info:\n  - account_id: "310000000001"\n    @\n',
  },
  {
    where: "VPC",
    record: "VPCConfig",
    present: ["vpc_id"],
    text:
      'account_info:\n  - account_id: "310000000001"\n    regions:\n      - region: us-east-1\n' +
      "        vpcs:\n          - vpc_id: vpc-1\n            @\n",
  },
];

// The places in invalid.yaml the schema must mark: a line's text, and the part of it marked.
const invalidMarks = [
  "enable_s3_backend: perhaps",
  "controller_ip: 10.10.0.300",
  "account_id: 31000000000l",
  "region: US-EAST-1",
  "colour: blue",
  "peering",
];

// Whether a diagnostic's range overlaps columns [from, to) of a line.
function covers(range, line, from, to) {
  const { start, end } = range;
  if (start.line > line || end.line < line) return false;
  return (start.line < line || start.character < to) && (end.line > line || end.character > from);
}

// A document the checker accepts (discovery-only), written as people write it (boolean words,
// padded texts), with one fault last so that the server publishes something: only that is marked.
const acceptedText = `terraform:
  terraform_output: out
  enable_s3_backend: yes
account_info:
  - account_id: " 310000000001 "
    add_account: "On"
    regions:
      - region: us-east-1
        vpcs:
          - vpc_id: vpc-1
            spoke_gw_name: "  ${"g".repeat(50)}  "
            inspection: y
            spoke_ha: 1
            az_affinity: "FALSE"
colour: blue
`;

function cursorOf(text) {
  const lines = text.split("\n");
  const line = lines.findIndex((l) => l.includes("@"));
  return { text: text.replace("@", ""), position: { line, character: lines[line].indexOf("@") } };
}

const results = [];
function check(name, ok, detail) {
  results.push(ok);
  console.log(`${ok ? "ok" : "not ok"} - ${name}${ok ? "" : `: ${detail}`}`);
}

async function run(yamlVersion) {
  const server = new Server();
  await server.start(yamlVersion);
  const tag = `YAML ${yamlVersion}`;

  let n = 0;
  for (const c of completionCases) {
    const { text, position } = cursorOf(`${modeline}\n${c.text}`);
    const uri = server.open(`completion-${n++}.yaml`, text);
    const list = await server.request("textDocument/completion", { textDocument: { uri }, position });
    const offered = new Set((list.items || list).map((i) => i.label));
    const missing = keysOf(c.record).filter((k) => !c.present.includes(k) && !offered.has(k));
    check(`${tag}: every key completes (${c.where})`, missing.length === 0, `missing ${missing}`);
  }

  const hoverDoc = `${modeline}\naccount_info:\n  - account_id: "310000000001"\n    spoke_gw_size: t3.small\n`;
  const uri = server.open("hover.yaml", hoverDoc);
  const hover = await server.request("textDocument/hover", {
    textDocument: { uri },
    position: { line: 3, character: 8 },
  });
  const shown = JSON.stringify(hover && hover.contents);
  const wanted = schema.definitions.AccountInfo.properties.spoke_gw_size.description;
  check(`${tag}: hover shows the key's description`, shown.includes(wanted.slice(0, 30)), shown);

  const invalid = `${modeline}\n${fs.readFileSync(path.join(examples, "invalid.yaml"), "utf8")}`;
  const lines = invalid.split("\n");
  const marked = await server.diagnosticsOf(server.open("invalid.yaml", invalid));
  for (const mark of invalidMarks) {
    const line = lines.findIndex((l) => l.includes(mark));
    const from = lines[line].indexOf(mark);
    const hit = marked.some((d) => covers(d.range, line, from, from + mark.length));
    check(`${tag}: invalid.yaml marked at "${mark}"`, hit, JSON.stringify(marked));
  }
  const accepted = `${modeline}\n${acceptedText}`;
  const faultLine = accepted.split("\n").indexOf("colour: blue");
  const shownOnAccepted = await server.diagnosticsOf(server.open("accepted.yaml", accepted));
  const wrong = shownOnAccepted.filter((d) => d.range.start.line !== faultLine);
  check(`${tag}: nothing the checker accepts is marked`, wrong.length === 0, JSON.stringify(wrong));
  await server.stop();
}

(async () => {
  for (const version of ["1.1", "1.2"]) await run(version);
  const failed = results.filter((r) => !r).length;
  console.log(`editor: ${results.length - failed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
