#!/usr/bin/env python3
"""A small ERP adapter for the TQSRemote ERP bridge (docs/erp_adapter_contract.md).

Python 3 standard library only. It keeps a toy ERP in one SQLite file: service orders per
engineer, the job sheets, service inspections and hours lines booked, and the assignment actions
received. Replace the functions under "The ERP" with calls into your ERP; keep the rest.

Every booking is stored together with its answer under the request's idempotency key in one
transaction, so a replay (the same key again) is answered with the first answer and books
nothing.

    python3 erp_adapter.py --database erp.db --port 8650 [--token SECRET]
                           [--order ID:ENGINEER:TEXT ...] [--conformance-data FILE]

--conformance-data loads the service orders of a file of job sheet documents, such as the demo
orders (erp/demo-orders.xml of `TQSRemoteAdmin install --demo`), which are the data set that
`TQSRemoteAdmin erp check` expects (docs/erp_adapter_contract.md, "Checking an adapter").

With --token the adapter accepts only requests whose Authorization header is "Bearer SECRET".
It prints "listening on PORT" once it accepts requests (--port 0 picks a free port).
"""

import argparse
import json
import sqlite3
import threading
import xml.etree.ElementTree as ElementTree
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

GENERIC_FAILURE = -2147467259
JS = "Q72dVXRsvordJobSheets."

SCHEMA = """
CREATE TABLE IF NOT EXISTS bookings (
  idempotency_key TEXT NOT NULL, method TEXT NOT NULL, answer TEXT NOT NULL,
  PRIMARY KEY (idempotency_key, method));
CREATE TABLE IF NOT EXISTS service_orders (
  id TEXT PRIMARY KEY, engineer TEXT NOT NULL, status TEXT NOT NULL, description TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS activities (
  order_id TEXT NOT NULL, id TEXT NOT NULL, description TEXT NOT NULL,
  PRIMARY KEY (order_id, id));
CREATE TABLE IF NOT EXISTS job_sheets (
  id INTEGER PRIMARY KEY, order_id TEXT NOT NULL, employee TEXT NOT NULL, status TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS cost_lines (
  line_number INTEGER PRIMARY KEY, order_id TEXT NOT NULL, activity TEXT NOT NULL,
  kind TEXT NOT NULL, client_line TEXT NOT NULL, properties TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS inspections (
  id INTEGER PRIMARY KEY, inspection_id TEXT NOT NULL, measurements TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS hours_lines (
  line_number INTEGER PRIMARY KEY, employee TEXT NOT NULL, task TEXT NOT NULL,
  registration_date TEXT NOT NULL, spent_time REAL NOT NULL);
CREATE TABLE IF NOT EXISTS assignment_actions (
  order_id TEXT NOT NULL, activity TEXT NOT NULL, action TEXT NOT NULL,
  downloaded_on TEXT NOT NULL, accepted_on TEXT NOT NULL);
"""

# The methods that book a document: answered once per key.
BOOKINGS = {"ProcessJobSheet", "ProcessServiceInspection", "Create"}


class Refused(Exception):
    """The call fails as a whole: answered as {"error": ...}; nothing was booked."""

    def __init__(self, description, number=GENERIC_FAILURE):
        super().__init__(description)
        self.number = number


# --- Reading and writing the bridge's data objects -------------------------------------------

def prop(obj, name, default=None):
    """A property of a data object (names compare without regard to case)."""
    if not isinstance(obj, dict):
        return default
    for key, value in obj.get("properties", {}).items():
        if key.lower() == name.lower():
            return value
    return default


def entries(obj, name):
    """The entries of a list of a data object."""
    if not isinstance(obj, dict):
        return []
    for key, value in obj.get("lists", {}).items():
        if key.lower() == name.lower():
            return value
    return []


def new(cls=None, properties=None, lists=None):
    obj = {}
    if cls:
        obj["class"] = cls
    if properties:
        obj["properties"] = properties
    if lists:
        obj["lists"] = lists
    return obj


def item(attribute, value, result=0, error="", new_line=""):
    return new(properties={attribute: value, "Result": result, "ErrorDescription": error,
                           "NewLineID": new_line})


# --- The ERP -----------------------------------------------------------------------------------

def held_activities(held):
    """Order id -> the activity ids the laptop holds, or None when it holds the order in full."""
    holdings = {}
    for order in entries(held, "InputServiceOrderWithOutData"):
        # One entry: the activities held, or null for an order held in full.
        listed = entries(order, "InputActivitiesWithOutData")
        holdings[prop(order, "ServiceOrderAttribute")] = None if not listed or not listed[0] else {
            prop(activity, "ActivityAttribute")
            for activity in entries(listed[0], "InputActivityWithOutData")}
    return holdings


def job_sheet(db, order_id, status, employee, leave_out=()):
    """The job sheet of an order, without the activities the laptop holds already."""
    activities = [
        new(JS + "ActivityData", {
            "ActivityAttribute": activity_id,
            "ActivityDetails": new(JS + "ActivityDetails", {"ActivityDescription": text}),
        })
        for activity_id, text in db.execute(
            "SELECT id, description FROM activities WHERE order_id = ? ORDER BY id", (order_id,))
        if activity_id not in leave_out]
    details = new(JS + "OrderDetails", {"OrderStatus": status, "EngineerName": employee})
    order = new(JS + "ServiceOrderData", {
        "ServiceOrderAttribute": order_id, "OriginAttribute": "ERP", "OrderDetails": details,
        "ActivitiesData": new(JS + "ActivitiesData", lists={"ActivityData": activities}),
    })
    return new(properties={"ServiceOrderData": order}), len(activities)


def get_job_sheets(db, employee, held, state):
    """In one portion: every open order of the engineer that the laptop does not hold (new),
    the activities it lacks of the orders it holds (additions) and the cancelled orders it
    holds (cancellations)."""
    holdings = held_activities(held)
    held_ids = set(holdings)
    rows = db.execute("SELECT id, status, description FROM service_orders WHERE engineer = ? "
                      "ORDER BY id", (employee,)).fetchall()
    new_sheets, additions = [], []
    for order_id, status, description in rows:
        if status == "Cancelled":
            continue
        if order_id not in held_ids:
            new_sheets.append(job_sheet(db, order_id, status, employee)[0])
        elif holdings[order_id] is not None:
            sheet, added = job_sheet(db, order_id, status, employee, holdings[order_id])
            if added:
                additions.append(sheet)
    cancelled = [new(properties={"ServiceOrderAttribute": order_id,
                                 "CancelledReasonAttribute": description})
                 for order_id, status, description in rows
                 if order_id in held_ids and status == "Cancelled"]
    result = new(properties={
        "OErrorStruct": new(JS + "OErrorStruct"),
        "OJobSheets": new(JS + "OJobSheets", {
            "NewJobSheets": new(lists={"JobSheetData": new_sheets}),
            "AdditionJobSheets": new(lists={"JobSheetData": additions}),
            "CancellationJobSheets": new(lists={"CancelOrder": cancelled}),
        }),
        "IoState": new(JS + "ioState", {"CompletedStateAttribute": 1}),
    })
    return {"result": result, "arguments": {"3": 0}}


def process_job_sheet(db, employee, job_sheet):
    order = prop(job_sheet, "ServiceOrderData")
    order_id = prop(order, "ServiceOrderAttribute", "")
    known = db.execute("SELECT engineer FROM service_orders WHERE id = ?", (order_id,)).fetchone()
    if known is None or known[0] != employee:
        error = f"Service order {order_id} is not assigned to {employee}"
        order_error = item("ServiceOrderAttribute", order_id, -1, error)
        order_error["lists"] = {"ActivitiesError": [None], "PaymentsError": [None]}
        return answer_process(-1, new(lists={"OrderError": [order_error]}))
    status = prop(prop(order, "OrderDetails"), "OrderStatus", "")
    db.execute("INSERT INTO job_sheets (order_id, employee, status) VALUES (?, ?, ?)",
               (order_id, employee, status))
    if status:
        db.execute("UPDATE service_orders SET status = ? WHERE id = ?", (status, order_id))
    activity_errors = []
    rejected = False
    for activity in entries(prop(order, "ActivitiesData"), "ActivityData"):
        activity_id = prop(activity, "ActivityAttribute", "")
        groups = {}
        for group, lst, error_group, error_list in (
                ("MaterialRequirement", "MaterialData", "MaterialRequirementError", "MaterialError"),
                ("HoursAccounting", "HourData", "HoursAccountingError", "HourError"),
                ("LaborRequirement", "LaborData", "LaborRequirementError", "LaborError"),
                ("OtherRequirement", "OtherData", "OtherRequirementError", "OtherError")):
            if prop(activity, group) is None:
                continue
            line_errors = []
            for line in entries(prop(activity, group), lst):
                client_line = prop(line, "CostLineAttribute", "")
                problem = line_problem(line)
                if problem:
                    rejected = True
                    line_errors.append(item("CostLineAttribute", client_line, -1, problem))
                    continue
                cursor = db.execute(
                    "INSERT INTO cost_lines (order_id, activity, kind, client_line, properties) "
                    "VALUES (?, ?, ?, ?, ?)",
                    (order_id, activity_id, lst, client_line, json.dumps(line.get("properties"))))
                line_errors.append(item("CostLineAttribute", client_line, 0, "",
                                        str(cursor.lastrowid)))
            groups[error_group] = new(lists={error_list: line_errors})
        activity_errors.append(new(properties={"ActivityAttribute": activity_id, "Result": 0,
                                               "ErrorDescription": "", "NewLineID": "", **groups}))
    order_error = item("ServiceOrderAttribute", order_id)
    order_error["lists"] = {
        "ActivitiesError": [new(lists={"ActivityError": activity_errors})],
        "PaymentsError": [None],
    }
    return answer_process(-1 if rejected else 0, new(lists={"OrderError": [order_error]}))


def line_problem(line):
    """Why a cost line is refused (a negative quantity), or None."""
    for name, value in (line.get("properties") or {}).items():
        if not name.endswith("Quantity"):
            continue
        try:
            if float(value) < 0:
                return f"{name} {value} is negative"
        except (TypeError, ValueError):
            return f"{name} {value!r} is not a number"
    return None


def answer_process(return_value, structure):
    structure["class"] = JS + "oErrorProcessStructForProcessJobSheet"
    return {"result": new(properties={"OReturnValue": return_value,
                                      "OErrorProcessStructForProcessJobSheet": structure})}


def process_service_inspection(db, process_input):
    inspection = prop(process_input, "ServiceInspection")
    header = prop(inspection, "InspectionHeaderDetails")
    inspection_id = prop(header, "ServiceInspectionID", "")
    measurements = [m.get("properties", {})
                    for m in entries(prop(inspection, "Inspections"), "Inspection")]
    if not measurements:
        result, error, return_value = "-1", "The inspection holds no measurement", -1
    else:
        db.execute("INSERT INTO inspections (inspection_id, measurements) VALUES (?, ?)",
                   (inspection_id, json.dumps(measurements)))
        result, error, return_value = "0", "", 0
    si = new(properties={"ServiceInspectionLineAttribute": inspection_id, "Result": result,
                         "ErrorDescription": error})
    return {"result": new(properties={
        "OReturnValue": return_value,
        "OErrorProcessStructForProcessSI": new(properties={"SI": si})})}


def create_hours_line(db, recordset):
    lines = entries(recordset, "ServiceOrderHoursAccounting")
    line = lines[0] if lines else None
    errors, stored = [], []
    if not isinstance(line, dict) or not prop(line, "Task"):
        errors.append(new(properties={"ErrorDescription": "The hours line has no task"}))
    else:
        cursor = db.execute(
            "INSERT INTO hours_lines (employee, task, registration_date, spent_time) "
            "VALUES (?, ?, ?, ?)",
            (prop(line, "Employee", ""), prop(line, "Task"), prop(line, "RegistrationDate", ""),
             float(prop(line, "SpentTime", 0) or 0)))
        stored.append(new(properties={"LineNumber": cursor.lastrowid}))
    return {"result": new(properties={
        "KorvoErrorDoc": new(lists={"KorvoErrorStructure": errors}),
        "RecordSet": new(lists={"ServiceOrderHoursAccounting": stored})})}


def update_assignments(db, assignments):
    for order in entries(assignments, "ServiceOrderWithOutData"):
        for activity in entries(order, "ActivityWithOutData"):
            db.execute("INSERT INTO assignment_actions VALUES (?, ?, ?, ?, ?)",
                       (prop(order, "ServiceOrderID", ""), prop(activity, "ActivityID", ""),
                        prop(activity, "ActionTaken", ""), prop(activity, "DownloadedON", ""),
                        prop(activity, "AcceptedON", "")))
    return {"result": new(properties={"OReturnValue": 0})}


def call_erp(db, request):
    method, args = request["method"], request["arguments"]
    if method == "getJobSheets":
        return get_job_sheets(db, args[0], args[1], args[4])
    if method == "ProcessJobSheet":
        return process_job_sheet(db, args[0], args[1])
    if method == "ProcessServiceInspection":
        return process_service_inspection(db, args[0])
    if method == "Create":
        return create_hours_line(db, args[0])
    if method == "svbodll350002updateassignments":
        return update_assignments(db, args[1])
    raise Refused(f"The adapter does not know the method {method}", 438)


# --- HTTP and idempotency ----------------------------------------------------------------------

def answer(database, request):
    """The answer to a request: a booking at most once per key, in one transaction."""
    db = sqlite3.connect(database, timeout=30, isolation_level=None)
    try:
        # BEGIN IMMEDIATE: a replay arriving while its first request runs waits for it.
        db.execute("BEGIN IMMEDIATE")
        key, method = request["idempotencyKey"], request["method"]
        if method in BOOKINGS:
            first = db.execute("SELECT answer FROM bookings WHERE idempotency_key = ? AND "
                               "method = ?", (key, method)).fetchone()
            if first is not None:
                db.execute("ROLLBACK")
                return json.loads(first[0])
        result = call_erp(db, request)
        if method in BOOKINGS:
            db.execute("INSERT INTO bookings VALUES (?, ?, ?)", (key, method, json.dumps(result)))
        db.execute("COMMIT")
        return result
    except BaseException:
        if db.in_transaction:
            db.execute("ROLLBACK")
        raise
    finally:
        db.close()


class Handler(BaseHTTPRequestHandler):
    database = None
    token = None

    def do_POST(self):
        if self.token is not None and self.headers.get("Authorization") != f"Bearer {self.token}":
            return self.reply(401, {"error": {"number": 70, "description": "Permission denied"}})
        try:
            length = int(self.headers.get("Content-Length", "0"))
            request = json.loads(self.rfile.read(length))
            if request.get("idempotencyKey") != self.headers.get("Idempotency-Key"):
                raise Refused("The Idempotency-Key header differs from idempotencyKey", 5)
            body = answer(self.database, request)
        except Refused as refused:
            body = {"error": {"number": refused.number, "description": str(refused)}}
        except (ValueError, KeyError, IndexError, TypeError) as error:
            body = {"error": {"number": 5, "description": f"Malformed request: {error!r}"}}
        except sqlite3.Error as error:
            body = {"error": {"number": GENERIC_FAILURE, "description": f"ERP store: {error}"}}
        self.reply(200, body)

    def reply(self, status, body):
        data = json.dumps(body).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, format, *args):  # no access log
        pass


def add_order(db, order_id, engineer, status, description, activities):
    db.execute("INSERT OR IGNORE INTO service_orders VALUES (?, ?, ?, ?)",
               (order_id, engineer, status, description))
    db.executemany("INSERT OR IGNORE INTO activities VALUES (?, ?, ?)",
                   [(order_id, activity_id, text) for activity_id, text in activities])


def load_job_sheets(db, path):
    """The service orders of a file of job sheet documents: id, engineer (emno), status (osta),
    and the activities with their descriptions."""
    for order in ElementTree.parse(path).getroot().iter("serviceorder"):
        details = order.find("details")
        text = (lambda code: details.findtext(code, "") if details is not None else "")
        activities = [(activity.get("id"), activity.findtext("details/desc", ""))
                      for activity in order.iterfind("activities/activity")]
        add_order(db, order.get("id"), text("emno"), text("osta") or "Released",
                  text("refa") or text("nama"), activities)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--database", required=True, help="the SQLite file of the toy ERP")
    parser.add_argument("--port", type=int, default=8650)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--token", help="accept only 'Authorization: Bearer TOKEN'")
    parser.add_argument("--order", action="append", default=[], metavar="ID:ENGINEER:TEXT",
                        help="add a released service order (repeatable)")
    parser.add_argument("--conformance-data", metavar="FILE",
                        help="load the service orders of a file of job sheet documents")
    options = parser.parse_args()

    db = sqlite3.connect(options.database)
    db.executescript(SCHEMA)
    for entry in options.order:
        order_id, engineer, text = entry.split(":", 2)
        add_order(db, order_id, engineer, "Released", text, [("10", text)])
    if options.conformance_data:
        load_job_sheets(db, options.conformance_data)
    db.commit()
    db.close()

    Handler.database, Handler.token = options.database, options.token
    server = ThreadingHTTPServer((options.host, options.port), Handler)
    print(f"listening on {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
