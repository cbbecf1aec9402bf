#!/usr/bin/env node
// Reads every .sql script of an output folder the way sqlplus reads it and
// parses each statement with the Oracle PL/SQL grammar. Prints one line per
// faulty statement and a closing "N passed, N failed" line; exits 1 on any fault.
//
// sqlplus rules kept here: a statement that creates a trigger, procedure,
// function, package or type, or begins with DECLARE or BEGIN, is PL/SQL and
// ends at a line holding only "/"; any other statement ends at a line ending
// in ";" (or at a "/" line), and a blank line inside it ends the input early,
// which is a fault. "Exit;" is a sqlplus command.

const fs = require('fs');
const path = require('path');
const antlr = require('antlr4ts');
const { PlSqlLexer } = require('antlr4ts-sql/dist/src/grammar-output/plsql/PlSqlLexer');
const { PlSqlParser } = require('antlr4ts-sql/dist/src/grammar-output/plsql/PlSqlParser');
const { CaseChangingStream } = require('antlr4ts-sql/dist/src/models/CaseChangingStream');

const PLSQL_HEAD = /^\s*(create\s+(or\s+replace\s+)?(trigger|procedure|function|package|type)\b|declare\b|begin\b)/i;
const SQLPLUS_COMMAND = /^\s*(exit|quit)\s*;?\s*$/i;

// Statements Oracle accepts that this grammar rejects, and how they are
// rewritten before parsing. Keep this list short and explain each entry.
const GRAMMAR_GAPS = [
  {
    // GRANT CONNECT,DBA,RESOURCE TO ...: RESOURCE is a predefined role, but
    // the grammar only knows it as a keyword.
    applies: (statement) => /^\s*GRANT\b/i.test(statement),
    rewrite: (statement) => statement.replace(/\bRESOURCE\b/gi, 'RESOURCE_ROLE'),
  },
];

function syntaxErrors(original) {
  let statement = original;
  for (const gap of GRAMMAR_GAPS) if (gap.applies(statement)) statement = gap.rewrite(statement);
  const errors = [];
  const listener = {
    syntaxError: (_r, _s, line, column, message) => errors.push(`${line}:${column} ${message.slice(0, 160)}`),
  };
  const lexer = new PlSqlLexer(new CaseChangingStream(antlr.CharStreams.fromString(statement), true));
  lexer.removeErrorListeners();
  lexer.addErrorListener(listener);
  const parser = new PlSqlParser(new antlr.CommonTokenStream(lexer));
  parser.removeErrorListeners();
  parser.addErrorListener(listener);
  parser.sql_script();
  return errors;
}

// Splits a script into statements; returns {statements, faults}.
function splitScript(text) {
  const lines = text.split(/\r\n|\n/);
  const statements = [];
  const faults = [];
  let current = null;
  lines.forEach((line, index) => {
    const lineNo = index + 1;
    if (current === null) {
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
    if (line.trim() === '') {
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

function scripts(folder) {
  const found = [];
  for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
    const full = path.join(folder, entry.name);
    if (entry.isDirectory()) found.push(...scripts(full));
    else if (entry.name.toLowerCase().endsWith('.sql')) found.push(full);
  }
  return found.sort();
}

function main() {
  const folder = process.argv[2];
  if (!folder) {
    console.error('usage: check_sql.js OUTPUT_FOLDER');
    process.exit(64);
  }
  let passed = 0;
  let failed = 0;
  for (const file of scripts(folder)) {
    const text = fs.readFileSync(file, 'latin1');
    const { statements, faults } = splitScript(text);
    for (const fault of faults) {
      failed += 1;
      console.log(`${path.relative(folder, file)}:${fault.start}: ${fault.why}`);
    }
    for (const statement of statements) {
      const errors = syntaxErrors(statement.text);
      if (errors.length === 0) {
        passed += 1;
      } else {
        failed += 1;
        console.log(`${path.relative(folder, file)}:${statement.start}: ${errors[0]}`);
        console.log(`    ${statement.text.slice(0, 200).replace(/\n/g, '\n    ')}`);
      }
    }
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

main();
