// Compiled with tsc --noEmit: uses of the declarations that must type-check,
// and misuses that must not.
import * as adsieve from '../..';
import type { Issue, Options, Result, Rule } from '../..';

const options: Options = { wrapperDepth: 1, maxWrapperDepth: 5, rules: { 'VAST-2.0-url-empty': 'off' }, maxIssues: 10 };
const r: Result = adsieve.validate('<VAST version="4.2"/>', options);
const bytes: Result = adsieve.validate(new Uint8Array(0));
const version: string | null = r.version;
const first: Issue | undefined = r.issues[0];
const line: number | null = first ? first.line : null;
const pending: Promise<Result> = adsieve.validateAsync('<VAST/>');
const catalogue: Rule[] = adsieve.rules();
const text: string = adsieve.libraryVersion + r.json + String(bytes.valid && r.truncated);

// @ts-expect-error a number is no document
adsieve.validate(42);
// @ts-expect-error levels are a fixed set
adsieve.validate('', { rules: { 'VAST-2.0-url-empty': 'silent' } });
// @ts-expect-error unknown option
adsieve.validate('', { maxDepth: 3 });
// @ts-expect-error the path may be null
const path: string = r.issues[0].path;

void [version, line, pending, catalogue, text, path];
