#!/usr/bin/env node
// Reads every .sql script of an output folder the way sqlplus reads it and
// parses each statement with the Oracle PL/SQL grammar. Prints one line per
// faulty statement and a closing "N passed, N failed" line; exits 1 on any fault.
//
// sqlplus rules kept here: a statement that creates a trigger, procedure,
// function, package or type, or begins with DECLARE or BEGIN, is PL/SQL and
// ends at a line holding only "/"; any other statement ends at a line ending
// in ";" (or at a "/" line), and a blank line inside it ends the input early,
// which is a fault, unless "SET SQLBLANKLINES ON" came first: the blank line
// is then part of the statement. "Exit;" is a sqlplus command.

const fs = require('fs');
const path = require('path');
const antlr = require('antlr4ts');
const { PlSqlLexer } = require('antlr4ts-sql/dist/src/grammar-output/plsql/PlSqlLexer');
const { PlSqlParser } = require('antlr4ts-sql/dist/src/grammar-output/plsql/PlSqlParser');
const { CaseChangingStream } = require('antlr4ts-sql/dist/src/models/CaseChangingStream');

const PLSQL_HEAD = /^\s*(create\s+(or\s+replace\s+)?(trigger|procedure|function|package|type)\b|declare\b|begin\b)/i;
const SQLPLUS_COMMAND = /^\s*(exit|quit|set\s+sqlblanklines\s+on)\s*;?\s*$/i;
const BLANK_LINES_ON = /^\s*set\s+sqlblanklines\s+on\s*;?\s*$/i;

// Statements Oracle accepts that this grammar rejects, and how they are
// rewritten before parsing. Keep this list short and explain each entry.
const GRAMMAR_GAPS = [
  {
    // GRANT CONNECT,DBA,RESOURCE TO ...: RESOURCE is a predefined role, but
    // the grammar only knows it as a keyword.
    applies: (statement) => /^\s*GRANT\b/i.test(statement),
    rewrite: (statement) => statement.replace(/\bRESOURCE\b/gi, 'RESOURCE_ROLE'),
  },
  {
    // INTERVAL '2-3' YEAR(9) TO MONTH: the grammar's interval literal ends
    // in TO DAY, HOUR, MINUTE or SECOND only. "TO MONTH" after a YEAR field
    // is blanked (keeping every column where it was); LITERALS checks the text.
    applies: (statement) => /\bMONTH\b/i.test(statement),
    rewrite: (statement) => rewriteMatches(statement, INTERVAL_YEAR_TO_MONTH, [4, 5]),
  },
  {
    // PARTITION "P1", SUBPARTITION "P1_S1": the grammar takes a partition's
    // name unquoted only. The quoted name becomes a plain one of the same
    // length (every column kept); LITERALS checks what it held.
    applies: (statement) => /\b(SUB)?PARTITION\b/i.test(statement),
    rewrite: (statement) =>
      rewriteMatches(statement, QUOTED_PARTITION_NAME, [1, 1], (name) => 'P'.padEnd(name.length, '_')),
  },
  {
    // TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'),
    // the bound Oracle itself writes for a partition: the grammar knows
    // TO_DATE with two arguments only. The third is blanked; LITERALS checks
    // all three.
    applies: (statement) => /\bTO_DATE\b/i.test(statement),
    rewrite: (statement) => rewriteMatches(statement, TO_DATE_WITH_CALENDAR, [5, 6]),
  },
];

const STRING = Symbol('quoted text, or pieces of one joined by ||');
const PRECISION = Symbol('an optional (n)');
const QUOTED_NAME = Symbol('a name in double quotes');

const INTERVAL_YEAR_TO_MONTH = ['INTERVAL', STRING, 'YEAR', PRECISION, 'TO', 'MONTH'];
const QUOTED_PARTITION_NAME = [['PARTITION', 'SUBPARTITION'], QUOTED_NAME];
const TO_DATE_WITH_CALENDAR = ['TO_DATE', '(', STRING, ',', STRING, ',', STRING, ')'];

// A name Oracle takes in double quotes: 1 to 30 bytes (a script is read
// one character a byte), neither a double quote nor a NUL among them.
const NAME_BYTES_MAX = 30;
const validQuotedName = (name) => /^[^"\0]+$/.test(name) && name.length <= NAME_BYTES_MAX;

// The date formats a TO_DATE with three arguments is checked with: the one
// Oracle gives a range partition's bound, whose year has a sign (a blank or
// "-"), and the same without it; and the only calendar the dates are
// checked in.
const DATE_TEXTS = {
  'SYYYY-MM-DD HH24:MI:SS': /^([ -]?)(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})$/,
  'YYYY-MM-DD HH24:MI:SS': /^()(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})$/,
};
const GREGORIAN_CALENDAR = /^NLS_CALENDAR\s*=\s*GREGORIAN$/i;
const YEAR_MIN = -4712;
const YEAR_MAX = 9999;
const LAST_JULIAN_YEAR = 1582;

// Oracle counts no year 0 (-1 is 1 BC) and reckons leap years as the Julian
// calendar does up to 1582 and as the Gregorian one after.
function isLeapYear(year) {
  if (year < 0) return (year + 1) % 4 === 0;
  if (year <= LAST_JULIAN_YEAR) return year % 4 === 0;
  return (year % 4 === 0 && year % 100 !== 0) || year % 400 === 0;
}

function validDate(text, format) {
  const parts = DATE_TEXTS[format.toUpperCase()]?.exec(text);
  if (!parts) return false;
  const [, sign, ...fields] = parts;
  const [years, month, day, hour, minute, second] = fields.map(Number);
  const year = sign === '-' ? -years : years;
  const monthDays = [31, isLeapYear(year) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31];
  return year !== 0 && year >= YEAR_MIN && year <= YEAR_MAX && month >= 1 && month <= 12 && day >= 1 &&
    day <= monthDays[month - 1] && hour <= 23 && minute <= 59 && second <= 59;
}

// Literals whose text Oracle checks, when it parses or runs the statement,
// and the grammar takes as any quoted text (or, rewritten, as any name).
// `valid` gets the texts without their quotes, in the order written, and the
// precisions written, undefined where none was.
const LITERALS = [
  {
    name: 'a year-month interval, which ends TO MONTH',
    pattern: ['INTERVAL', STRING, ['YEAR', 'MONTH'], PRECISION, 'TO', ['DAY', 'HOUR', 'MINUTE', 'SECOND']],
    valid: () => false,
  },
  {
    name: 'INTERVAL YEAR TO MONTH',
    pattern: INTERVAL_YEAR_TO_MONTH,
    valid: ([text], [years = 2]) => new RegExp(`^[+-]?\\d{1,${years}}-(1[01]|0?\\d)$`).test(text),
  },
  {
    name: 'INTERVAL DAY TO SECOND',
    pattern: ['INTERVAL', STRING, 'DAY', PRECISION, 'TO', 'SECOND', PRECISION],
    valid: ([text], [days = 2, fraction = 6]) =>
      new RegExp(`^[+-]?\\d{1,${days}} ([01]?\\d|2[0-3]):[0-5]?\\d:[0-5]?\\d(\\.\\d{1,${fraction}})?$`).test(text),
  },
  {
    // With its time zone as an offset or a region name, or none.
    name: 'TIMESTAMP',
    pattern: ['TIMESTAMP', STRING],
    valid: ([text]) =>
      /^\d{4}-\d{1,2}-\d{1,2}( \d{1,2}:\d{2}:\d{2}(\.\d{1,9})?)?( [+-]\d{1,2}:\d{2}| [A-Za-z][\w/+-]*)?$/.test(text),
  },
  { name: 'HEXTORAW', pattern: ['HEXTORAW', '(', STRING, ')'], valid: ([text]) => /^[0-9A-Fa-f]*$/.test(text) },
  {
    name: 'UNISTR',
    pattern: ['UNISTR', '(', STRING, ')'],
    valid: ([text]) => /^([^\\]|\\[0-9A-Fa-f]{4}|\\\\)*$/.test(text),
  },
  { name: 'a partition name', pattern: QUOTED_PARTITION_NAME, valid: ([name]) => validQuotedName(name) },
  {
    name: "TO_DATE(date, 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')",
    pattern: TO_DATE_WITH_CALENDAR,
    valid: ([date, format, calendar]) => GREGORIAN_CALENDAR.test(calendar) && validDate(date, format),
  },
];

// In the VALUES of a data script's insert, a bare word is a column to Oracle
// ("column not allowed here") unless it is one of these constants, and a call
// is to one of these functions; the grammar takes any name for both.
const VALUE_CONSTANTS = new Set([
  'BINARY_FLOAT_NAN', 'BINARY_FLOAT_INFINITY', 'BINARY_DOUBLE_NAN', 'BINARY_DOUBLE_INFINITY',
]);
const VALUE_FUNCTIONS = new Set(['HEXTORAW', 'UNISTR', 'TO_DATE', 'TO_TIMESTAMP', 'TO_TIMESTAMP_TZ', 'CHR']);
const DATA_STATEMENT = /^\s*(insert|begin)\b/i;

function lex(statement) {
  const lexer = new PlSqlLexer(new CaseChangingStream(antlr.CharStreams.fromString(statement), true));
  lexer.removeErrorListeners();
  return lexer;
}

// The text of a token or a parse tree node, as written: the case-changing
// stream gives the tokens no text of their own.
function written(statement, first, last) {
  return statement.slice(first.startIndex, last.stopIndex + 1);
}

function defaultChannelTokens(statement) {
  const stream = new antlr.CommonTokenStream(lex(statement));
  stream.fill();
  return stream
    .getTokens()
    .filter((t) => t.channel === antlr.Token.DEFAULT_CHANNEL && t.type !== antlr.Token.EOF)
    .map((t) => ({ type: t.type, text: written(statement, t, t), startIndex: t.startIndex, stopIndex: t.stopIndex,
      line: t.line, column: t.charPositionInLine }));
}

// Matches `pattern` at tokens[i]: {texts, precisions, starts, end} or null;
// starts[k] is the index of the first token of pattern item k.
function matchAt(tokens, i, pattern) {
  const texts = [];
  const precisions = [];
  const starts = [];
  let j = i;
  for (const item of pattern) {
    starts.push(j);
    if (item === PRECISION) {
      const given = tokens[j]?.text === '(' && tokens[j + 1]?.type === PlSqlLexer.UNSIGNED_INTEGER &&
        tokens[j + 2]?.text === ')';
      precisions.push(given ? Number(tokens[j + 1].text) : undefined);
      if (given) j += 3;
    } else if (item === STRING) {
      if (tokens[j]?.type !== PlSqlLexer.CHAR_STRING) return null;
      let text = tokens[j].text.slice(1, -1);
      j += 1;
      while (tokens[j]?.text === '|' && tokens[j + 1]?.text === '|' && tokens[j + 2]?.type === PlSqlLexer.CHAR_STRING) {
        text += tokens[j + 2].text.slice(1, -1);
        j += 3;
      }
      texts.push(text.replace(/''/g, "'"));
    } else if (item === QUOTED_NAME) {
      if (tokens[j]?.type !== PlSqlLexer.DELIMITED_ID) return null;
      texts.push(tokens[j].text.slice(1, -1));
      j += 1;
    } else if (![item].flat().includes(tokens[j]?.text.toUpperCase())) {
      return null;
    } else {
      j += 1;
    }
  }
  return { texts, precisions, starts, end: j };
}

function* matches(tokens, pattern) {
  for (let i = 0; i < tokens.length; i += 1) {
    const found = matchAt(tokens, i, pattern);
    if (found) yield { ...found, start: i };
  }
}

// The statement with pattern items `first` to `last` (counted from 0) of
// every match of `pattern` replaced by `rewrite` of their text, which keeps
// its length; by default every character but a line break becomes a space.
// Every token after them stays on its line and column.
function rewriteMatches(statement, pattern, [first, last], rewrite = (text) => text.replace(/[^\n]/g, ' ')) {
  const tokens = defaultChannelTokens(statement);
  let rewritten = statement;
  for (const found of matches(tokens, pattern)) {
    const from = tokens[found.starts[first]].startIndex;
    const to = tokens[(found.starts[last + 1] ?? found.end) - 1].stopIndex + 1;
    rewritten = rewritten.slice(0, from) + rewrite(statement.slice(from, to)) + rewritten.slice(to);
  }
  return rewritten;
}

function literalErrors(statement) {
  const tokens = defaultChannelTokens(statement);
  const errors = [];
  for (const literal of LITERALS) {
    for (const found of matches(tokens, literal.pattern)) {
      if (literal.valid(found.texts, found.precisions)) continue;
      const at = tokens[found.start];
      const texts = found.texts.map((text) => `'${text.slice(0, 60)}'`).join(', ');
      errors.push(`${at.line}:${at.column} ${texts} is no valid text for ${literal.name}`);
    }
  }
  return errors;
}

// Bare words and calls in the VALUES of an insert (parse tree nodes).
function valueNameErrors(statement, tree) {
  const errors = [];
  const text = (node) => written(statement, node.start, node.stop);
  const fault = (node, why) => errors.push(`${node.start.line}:${node.start.charPositionInLine} ${text(node)}: ${why}`);
  const visit = (node, inValues) => {
    const kind = node.constructor.name;
    const inside = inValues || kind === 'Values_clauseContext';
    if (inside && kind === 'Variable_nameContext' && !VALUE_CONSTANTS.has(text(node).toUpperCase()))
      fault(node, 'a column is not allowed in VALUES');
    if (inside && kind === 'General_element_partContext') {
      const name = node.id_expression().map((id) => text(id).toUpperCase()).join('.');
      if (!node.function_argument()) fault(node, 'a column is not allowed in VALUES');
      else if (!VALUE_FUNCTIONS.has(name)) fault(node, 'no function the data scripts call');
    }
    for (let i = 0; i < node.childCount; i += 1) visit(node.getChild(i), inside);
  };
  visit(tree, false);
  return errors;
}

function syntaxErrors(original) {
  let statement = original;
  for (const gap of GRAMMAR_GAPS) if (gap.applies(statement)) statement = gap.rewrite(statement);
  const errors = [];
  const listener = {
    syntaxError: (_r, _s, line, column, message) => errors.push(`${line}:${column} ${message.slice(0, 160)}`),
  };
  const lexer = lex(statement);
  lexer.addErrorListener(listener);
  const parser = new PlSqlParser(new antlr.CommonTokenStream(lexer));
  parser.removeErrorListeners();
  parser.addErrorListener(listener);
  const tree = parser.sql_script();
  if (errors.length > 0) return errors;
  if (DATA_STATEMENT.test(statement)) errors.push(...valueNameErrors(statement, tree));
  return errors.concat(literalErrors(original));
}

// Splits a script into statements; returns {statements, faults}.
function splitScript(text) {
  const lines = text.split(/\r\n|\n/);
  const statements = [];
  const faults = [];
  let current = null;
  let blankLinesOn = false;
  lines.forEach((line, index) => {
    const lineNo = index + 1;
    if (current === null) {
      if (BLANK_LINES_ON.test(line)) blankLinesOn = true;
      if (line.trim() === '' || SQLPLUS_COMMAND.test(line)) return;
      current = { start: lineNo, plsql: PLSQL_HEAD.test(line), lines: [] };
    }
    if (current.plsql) {
      if (line.trim() === '/') {
        statements.push({ start: current.start, text: current.lines.join('\n') });
        current = null;
      } else {
        current.lines.push(line);
      }
      return;
    }
    if (line.trim() === '/') {
      statements.push({ start: current.start, text: current.lines.join('\n') });
      current = null;
      return;
    }
    if (line.trim() === '' && !blankLinesOn) {
      faults.push({ start: current.start, why: 'a blank line ends the statement before its ";"' });
      current = null;
      return;
    }
    current.lines.push(line);
    if (/;\s*$/.test(line)) {
      statements.push({ start: current.start, text: current.lines.join('\n') });
      current = null;
    }
  });
  if (current !== null) faults.push({ start: current.start, why: 'the script ends inside a statement' });
  return { statements, faults };
}

function scripts(target) {
  if (!fs.statSync(target).isDirectory()) return [target];
  const found = [];
  for (const entry of fs.readdirSync(target, { withFileTypes: true })) {
    const full = path.join(target, entry.name);
    if (entry.isDirectory()) found.push(...scripts(full));
    else if (entry.name.toLowerCase().endsWith('.sql')) found.push(full);
  }
  return found.sort();
}

// Every statement and fault of the scripts, with the errors found in it.
function* cases(target) {
  for (const file of scripts(target)) {
    const where = path.relative(target, file) || path.basename(file);
    const { statements, faults } = splitScript(fs.readFileSync(file, 'latin1'));
    for (const fault of faults) yield { where: `${where}:${fault.start}`, errors: [fault.why], text: '' };
    for (const statement of statements)
      yield { where: `${where}:${statement.start}`, errors: syntaxErrors(statement.text), text: statement.text };
  }
}

// With --rejected, a statement passes when it is refused: the checker's own
// cases of what Oracle would refuse.
function main() {
  const rejected = process.argv[2] === '--rejected';
  const target = process.argv[rejected ? 3 : 2];
  if (!target) {
    console.error('usage: check_sql.js [--rejected] OUTPUT_FOLDER_OR_SCRIPT');
    process.exit(64);
  }
  let passed = 0;
  let failed = 0;
  for (const { where, errors, text } of cases(target)) {
    if ((errors.length === 0) !== rejected) {
      passed += 1;
      continue;
    }
    failed += 1;
    console.log(`${where}: ${rejected ? 'accepted, but Oracle refuses it' : errors[0]}`);
    if (text) console.log(`    ${text.slice(0, 200).replace(/\n/g, '\n    ')}`);
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

main();
