// SPDX-License-Identifier: MIT
// Firefox ESR for Python (lab/engines.py), where there is no geckodriver: puppeteer-core
// drives it over WebDriver BiDi, and this process takes one command a line on standard
// input, as JSON, and answers each with one line, {"value": ...} or {"error": "..."}.
//
//     node firefox.js WIDTHxHEIGHT [DOWNLOADS]
//
// Commands: {"op": "goto", "url"}, {"op": "evaluate", "script", "args"} (the script is a
// function body, as selenium's execute_script takes it), {"op": "screenshot"} (the
// viewport, a base64 PNG), {"op": "click", "selector"}, {"op": "version"}. The browser
// closes when standard input does.
'use strict';
const puppeteer = require('puppeteer-core');
const readline = require('readline');

async function main() {
  const [width, height] = process.argv[2].split('x').map(Number);
  const downloads = process.argv[3];
  const prefs = downloads ? {
    'browser.download.dir': downloads,
    'browser.download.folderList': 2,
    'browser.download.useDownloadDir': true,
    'browser.download.always_ask_before_handling_new_types': false,
  } : {};
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    defaultViewport: {width, height},
    args: ['--width=' + width, '--height=' + height],
    extraPrefsFirefox: prefs,
  });
  const page = (await browser.pages())[0] || await browser.newPage();
  const ops = {
    goto: async (c) => { await page.goto(c.url); },
    evaluate: (c) => page.evaluate((body, args) => new Function(body).apply(window, args),
                                   c.script, c.args || []),
    screenshot: () => page.screenshot({encoding: 'base64'}),
    click: (c) => page.click(c.selector),
    version: () => browser.version(),
  };
  for await (const line of readline.createInterface({input: process.stdin})) {
    const command = JSON.parse(line);
    let answer;
    try {
      const value = await ops[command.op](command);
      answer = {value: value === undefined ? null : value};
    } catch (e) {
      answer = {error: String((e && e.stack) || e)};
    }
    process.stdout.write(JSON.stringify(answer) + '\n');
  }
  await browser.close();
}

main().catch((e) => {
  process.stderr.write(String((e && e.stack) || e) + '\n');
  process.exit(1);
});
