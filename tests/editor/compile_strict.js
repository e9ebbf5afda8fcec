// The exported schema compiles in a strict validator with the standard formats only: editors and
// CI tools built on it must take the file as it is, with no lenient options.
// Usage: node compile_strict.js SCHEMA_FILE
"use strict";
const fs = require("fs");
const Ajv = require("ajv");
const addFormats = require("ajv-formats");

const schema = JSON.parse(fs.readFileSync(process.argv[2], "utf8"));
const ajv = new Ajv({ strict: true, allErrors: true });
addFormats(ajv);
let failed = 0;
try {
  const validate = ajv.compile(schema);
  // A compiled schema that refuses everything would pass the step above: check both ways.
  const cases = [
    [{ terraform: { terraform_output: "out" }, account_info: [] }, true],
    [{ terraform: { terraform_output: "out" }, account_info: [], colour: 1 }, false],
  ];
  for (const [doc, expected] of cases) {
    if (validate(doc) !== expected) {
      console.error(`not ok: ${JSON.stringify(doc)} should be ${expected ? "valid" : "invalid"}`);
      failed++;
    }
  }
} catch (e) {
  console.error(`not ok: strict compile: ${e.message}`);
  failed++;
}
console.log(`strict: ${failed ? 0 : 1} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
