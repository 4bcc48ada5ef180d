// The operator console in the system's Chromium, driven by playwright-core. Run by
// console_browser_test.sh, which prepares the installation and passes:
//   CONSOLE_URL, CONSOLE_SECRET, CHROMIUM, INSTALLATION, SCREENSHOTS, BROWSER_PROFILE
// Each check prints "ok - ..." or "not ok - ..."; the exit status is 1 when one failed.
import { execFileSync } from 'node:child_process';
import { readFileSync, existsSync, mkdtempSync } from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';

const url = process.env.CONSOLE_URL;
const secret = process.env.CONSOLE_SECRET;
const installation = process.env.INSTALLATION;
const screenshots = process.env.SCREENSHOTS;
const database = path.join(installation, 'data', 'server.db');
const auditLog = path.join(installation, 'data', 'console-audit.log');
const csp = "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; " +
  "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

let failures = 0;
function check(condition, what, detail = '') {
  console.log(`${condition ? 'ok' : 'not ok'} - ${what}${!condition && detail ? `: ${detail}` : ''}`);
  if (!condition) failures += 1;
}
function sql(query) {
  return execFileSync('sqlite3', [database, query], { encoding: 'utf8' }).trim();
}
function documentKey(employee, type) {
  return sql(`SELECT INTERACTIONKEY FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID = '${employee}' ` +
             `AND BUSINESSDOCUMENTTYPE = ${type}`);
}
function brokerPass() {
  try {
    return execFileSync('./TQSRemoteBroker', ['--once'], {
      cwd: path.join(installation, 'bin'), encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (error) {
    return `${error.stdout}${error.stderr} (exit status ${error.status})`;
  }
}
function auditLines() {
  return existsSync(auditLog) ? readFileSync(auditLog, 'utf8').trim().split('\n') : [];
}
async function shot(page, name) {
  const file = path.join(screenshots, name);
  await page.screenshot({ path: file, fullPage: true });
  console.log(`screenshot: ${file}`);
}

const context = await chromium.launchPersistentContext(
  process.env.BROWSER_PROFILE || mkdtempSync('/tmp/tqs-console-profile-'), {
    executablePath: process.env.CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1280, height: 900 },
  });
const problems = [];
context.on('page', (page) => watch(page));
function watch(page) {
  // Script errors and policy violations; the statuses the test provokes (401, 403) and the
  // browser's own favicon request (404) show as "Failed to load resource" and are expected.
  page.on('console', (message) => {
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource')) {
      problems.push(message.text());
    }
  });
  page.on('pageerror', (error) => problems.push(String(error)));
}

try {
  const page = context.pages()[0] || await context.newPage();
  watch(page);

  // Without a session every page leads to the login.
  let response = await page.goto(`${url}/console/documents?kind=failing`);
  check(page.url() === `${url}/console/login`, 'a request without the session is sent to the login page',
        page.url());
  check(response.headers()['content-security-policy'] === csp, 'the login page carries the policy',
        response.headers()['content-security-policy']);

  // A wrong secret is refused, and no session comes of it.
  await page.fill('#secret', 'not the operator secret');
  [response] = await Promise.all([page.waitForNavigation(), page.click('button[type=submit]')]);
  check(response.status() === 401, 'a wrong secret is answered 401', String(response.status()));
  check((await page.textContent('#login-message')).includes('not right'), 'the login page says the secret is wrong');
  check((await context.cookies()).every((cookie) => cookie.name !== 'tqs_console'), 'a wrong secret gets no cookie');
  check(auditLines().some((line) => line.includes(' login-refused ')), 'the refused login is in the audit log');

  // The right one: the overview.
  await page.fill('#secret', secret);
  await Promise.all([page.waitForURL(`${url}/console/`), page.click('button[type=submit]')]);
  const cookie = (await context.cookies()).find((c) => c.name === 'tqs_console');
  check(cookie && cookie.httpOnly && cookie.sameSite === 'Strict' && cookie.path === '/console',
        'the session cookie is HttpOnly, SameSite=Strict, Path=/console', JSON.stringify(cookie));
  check((await page.textContent('#failing-count')).trim() === '3', 'the overview counts 3 failing documents',
        await page.textContent('#failing-count'));
  check((await page.textContent('#in-doubt-count')).trim() === '1', 'the overview counts 1 document in doubt');
  const queue = await page.textContent('#queue-rows');
  check(queue.includes('general hours line') && queue.includes('job sheet'), 'the queue table names the types', queue);
  check((await page.textContent('#employee-rows')).includes('E001'), 'the busiest employees are listed');
  // The script refreshes the overview from the JSON endpoint.
  await page.waitForFunction(() => document.getElementById('updated').textContent.startsWith('Updated'),
                             null, { timeout: 15000 });
  check(true, 'the overview refreshed itself');
  await shot(page, '1-overview.png');

  // The failing documents, filtered by employee and type.
  await page.click('a[href="/console/documents?kind=failing"] >> nth=0');
  await page.waitForURL(/kind=failing/);
  await page.fill('input[name=employee]', 'E002');
  await page.selectOption('select[name=type]', '10');
  await Promise.all([page.waitForURL(/employee=E002/), page.click('#filters button')]);
  const rows = await page.locator('#documents tbody tr').count();
  check(rows === 1, 'the filter leaves E002\'s hours line', String(rows));
  const listed = await page.textContent('#documents tbody');
  check(listed.includes('Cannot create component'), 'the list shows the last error', listed);
  await shot(page, '2-failing-list.png');

  // The hostile document: its <script> is shown as text and never runs.
  const hostile = documentKey('E002', 10);
  await Promise.all([page.waitForURL(`${url}/console/documents/${hostile}`),
                     page.click(`a[href="/console/documents/${hostile}"]`)]);
  const contents = await page.textContent('#contents');
  check(contents.includes('<script>window.__pwned = 1</script>'), 'the stored XML shows <script> as text', contents);
  check(contents.includes('\n  '), 'the stored XML is indented');
  check(await page.evaluate(() => window.__pwned === undefined), 'the document\'s script did not run');
  check((await page.textContent('#field-attempts')).trim() === '3', 'the document shows 3 attempts');
  await shot(page, '3-document.png');

  // E001's hours line waits in doubt: a broker pass leaves it alone until an operator decides.
  const inDoubt = documentKey('E001', 10);
  const before = brokerPass();
  check(sql(`SELECT INTERACTIONSTATUS || '/' || ATTEMPTOPEN FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = ${inDoubt}`) === '5/1',
        'a broker pass leaves the document in doubt alone', before);
  await page.goto(`${url}/console/documents?kind=in-doubt&employee=E001`);
  await Promise.all([page.waitForURL(`${url}/console/documents/${inDoubt}`),
                     page.click(`a[href="/console/documents/${inDoubt}"]`)]);
  check((await page.textContent('#field-status')).includes('in doubt'), 'the document page says in doubt');

  // An action without the session's token is refused, and changes nothing.
  const forged = await page.request.post(`${url}/console/documents/${inDoubt}/resolve`, {
    form: { note: 'forged' }, maxRedirects: 0 });
  check(forged.status() === 403, 'an action without the CSRF token is refused with 403', String(forged.status()));
  const wrongToken = await page.request.post(`${url}/console/documents/${inDoubt}/resolve`, {
    form: { csrf: 'a'.repeat(64) }, maxRedirects: 0 });
  check(wrongToken.status() === 403, 'an action with a wrong CSRF token is refused with 403');
  check(sql(`SELECT INTERACTIONSTATUS FROM CLIENTSERVERINTERACTION WHERE INTERACTIONKEY = ${inDoubt}`) === '5',
        'the refused actions changed nothing');

  // Requeue: a dismissed confirmation does nothing; an accepted one requeues.
  const auditBefore = auditLines().length;
  page.once('dialog', (dialog) => dialog.dismiss());
  await page.click('#requeue');
  await page.waitForTimeout(500);
  check(page.url() === `${url}/console/documents/${inDoubt}` && auditLines().length === auditBefore,
        'a dismissed confirmation sends nothing');
  let question = '';
  page.once('dialog', (dialog) => { question = dialog.message(); dialog.accept(); });
  await page.fill('#requeue-form input[name=note]', 'ERP checked: not booked');
  await Promise.all([page.waitForNavigation(), page.click('#requeue')]);
  check(question.startsWith(`Requeue document ${inDoubt}?`), 'the requeue asks for confirmation', question);
  const notice = await page.textContent('#notice');
  check(notice.includes('requeued'), 'the page says the document was requeued', notice);
  const audit = auditLines().at(-1) || '';
  check(new RegExp(` session=[0-9a-f]{8} requeue key=${inDoubt} changed: requeued`).test(audit),
        'the requeue is in the audit log', audit);
  check(!audit.includes(cookie.value), 'the audit log does not hold the session id');
  check(sql(`SELECT OPERATOR || ' | ' || DETAILS FROM OPERATORACTIONS WHERE ACTION = 'requeue' AND INTERACTIONKEY = ${inDoubt}`)
          .includes('note: ERP checked: not booked'), 'the requeue is in OPERATORACTIONS with its note');
  await shot(page, '4-after-requeue.png');

  // The next broker pass sends it to the ERP.
  const pass = brokerPass();
  await page.reload();
  const statusText = (await page.textContent('#field-status')).trim();
  check(statusText === 'processed', 'after a broker pass the document shows processed', `${statusText}; ${pass}`);
  check(!(await page.locator('#requeue').count()), 'a processed document offers no action');
  check((await page.textContent('#result')).includes('<'), 'the result document is shown');
  await shot(page, '5-processed.png');

  // Readable on a phone: nothing wider than the screen.
  await page.setViewportSize({ width: 390, height: 844 });
  await page.goto(`${url}/console/`);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  check(width <= 390, 'the overview fits a phone\'s width', String(width));
  await shot(page, '6-overview-phone.png');
  await page.goto(`${url}/console/documents/${inDoubt}`);
  await shot(page, '7-document-phone.png');

  // Logging out ends the session.
  await page.setViewportSize({ width: 1280, height: 900 });
  await Promise.all([page.waitForURL(`${url}/console/login`), page.click('.logout button')]);
  const afterLogout = await page.request.get(`${url}/console/api/overview`);
  check(afterLogout.status() === 401, 'after logout the session is gone', String(afterLogout.status()));

  check(problems.length === 0, 'no script errors or policy violations in the pages', problems.join(' | '));
} catch (error) {
  check(false, 'the scenario ran to its end', String(error && error.stack || error));
} finally {
  await context.close();
}
console.log(failures === 0 ? 'console browser test: all checks passed'
                           : `console browser test: ${failures} check(s) failed`);
process.exit(failures === 0 ? 0 : 1);
