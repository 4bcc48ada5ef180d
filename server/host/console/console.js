// The operator console's script: asks for confirmation before an action, and keeps the
// overview up to date by reading /console/api/overview every few seconds. Everything it writes
// into the page goes in as text (textContent), never as markup.
(function () {
  'use strict';

  document.addEventListener('submit', function (event) {
    var form = event.target;
    var question = form.getAttribute('data-confirm');
    if (question && !window.confirm(question)) event.preventDefault();
  });

  var overview = document.getElementById('overview');
  if (!overview) return;

  function cell(row, text, className) {
    var td = document.createElement('td');
    td.textContent = text;
    if (className) td.className = className;
    row.appendChild(td);
  }

  function age(seconds) {
    if (seconds === null || seconds === undefined) return 'unknown';
    var days = Math.floor(seconds / 86400);
    var rest = seconds % 86400;
    var pad = function (n) { return (n < 10 ? '0' : '') + n; };
    var clock = pad(Math.floor(rest / 3600)) + ':' + pad(Math.floor(rest / 60) % 60) + ':' + pad(rest % 60);
    return days > 0 ? days + 'd ' + clock : clock;
  }

  function fill(id, rows) {
    var body = document.getElementById(id);
    if (!body) return;
    while (body.firstChild) body.removeChild(body.firstChild);
    rows.forEach(function (row) { body.appendChild(row); });
  }

  function render(queue) {
    fill('queue-rows', queue.types.map(function (type) {
      var tr = document.createElement('tr');
      cell(tr, type.name);
      cell(tr, String(type.pending), 'number');
      cell(tr, String(type.processed), 'number');
      cell(tr, String(type.failed), 'number');
      cell(tr, String(type.unrecognised), 'number');
      var oldest = type.oldest_pending;
      cell(tr, oldest ? age(oldest.age_seconds) : '-', 'number');
      return tr;
    }));
    fill('employee-rows', queue.busiest_employees.map(function (employee) {
      var tr = document.createElement('tr');
      cell(tr, employee.employee);
      cell(tr, String(employee.pending), 'number');
      return tr;
    }));
    var inDoubt = document.getElementById('in-doubt-count');
    var failing = document.getElementById('failing-count');
    if (inDoubt) inDoubt.textContent = String(queue.in_doubt);
    if (failing) failing.textContent = String(queue.repeatedly_failing);
    var updated = document.getElementById('updated');
    if (updated) updated.textContent = 'Updated ' + new Date().toLocaleTimeString();
  }

  function refresh() {
    fetch('/console/api/overview', { credentials: 'same-origin', cache: 'no-store' })
      .then(function (response) {
        if (response.status === 401) { window.location.href = '/console/login'; return null; }
        if (!response.ok) throw new Error('HTTP ' + response.status);
        return response.json();
      })
      .then(function (body) { if (body) render(body.queue); })
      .catch(function () {
        var updated = document.getElementById('updated');
        if (updated) updated.textContent = 'The overview could not be refreshed; retrying.';
      });
  }

  var seconds = Number(overview.getAttribute('data-refresh-seconds')) || 5;
  window.setInterval(refresh, seconds * 1000);
})();
