// Types of the adsieve Node package.

/** Severity of a finding. */
export type Severity = 'error' | 'warning' | 'info';

/** Level a rule can be set to: a severity, or off. */
export type Level = Severity | 'off';

export interface Options {
  /** Wrapper documents already followed to reach this one, 0 to 255 (default 0). */
  wrapperDepth?: number;
  /** Greatest acceptable wrapper depth, 1 to 255 (default 5). */
  maxWrapperDepth?: number;
  /** Rule id to level, e.g. { 'VAST-2.0-url-empty': 'off' }. Unknown ids and levels are a RangeError. */
  rules?: Readonly<Record<string, Level>>;
  /** List at most this many findings (0, the default: all). Counts stay exact. */
  maxIssues?: number;
}

export interface Issue {
  id: string;
  severity: Severity;
  message: string;
  /** Path of the element, such as "/VAST/Ad[0]/InLine", or null. */
  path: string | null;
  /** 1-based line and column, or null when the finding has no position. */
  line: number | null;
  col: number | null;
  /** The section of the standard the rule enforces. */
  specRef: string;
}

export interface Result {
  /** True when there is no finding of severity error. */
  valid: boolean;
  errors: number;
  warnings: number;
  infos: number;
  /** VAST version the document was judged against ("2.0" ... "4.3"), or null. */
  version: string | null;
  /** True when maxIssues cut the list of findings. */
  truncated: boolean;
  issues: Issue[];
  /** The library's JSON result text, byte for byte. */
  json: string;
}

export interface Rule {
  id: string;
  defaultSeverity: Severity;
  description: string;
  /** The group the rule belongs to. */
  family: string;
}

/**
 * Validates a document given as a string or as UTF-8 bytes (a Buffer or a
 * Uint8Array, read in place). Throws TypeError for a value of the wrong type or
 * a document that is not valid UTF-8, RangeError for an option out of range or
 * an unknown rule id or level.
 */
export function validate(xml: string | Uint8Array, options?: Options): Result;

/**
 * As validate, on the libuv thread pool so the event loop is not blocked. The
 * document is copied first; bad input rejects the promise with the same errors.
 */
export function validateAsync(xml: string | Uint8Array, options?: Options): Promise<Result>;

/** The rule catalogue. */
export function rules(): Rule[];

/** Version of the adsieve library, such as "0.6.2". */
export const libraryVersion: string;
