// Validates SARIF logs against the SARIF 2.1.0 JSON schema.
// usage: node sarif_check.js LOG.sarif...   (exit 0 when every log is valid)
'use strict';
const fs = require('fs');
const Ajv = require('ajv-draft-04');
const addFormats = require('ajv-formats');
const schema = require('@microsoft/jest-sarif/lib/schemas/sarif-2.1.0-rtm.5.json');

// The schema's patterns are written for non-Unicode regular expressions.
const ajv = new Ajv({ allErrors: true, strict: false, unicodeRegExp: false });
addFormats(ajv);
const validate = ajv.compile(schema);
let failed = 0;
for (const file of process.argv.slice(2)) {
  const log = JSON.parse(fs.readFileSync(file, 'utf8'));
  if (!validate(log)) {
    failed++;
    console.log(`${file}: ${JSON.stringify(validate.errors, null, 1)}`);
  }
}
process.exit(failed ? 1 : 0);
