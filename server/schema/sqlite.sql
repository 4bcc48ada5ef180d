-- Server database of TQSRemote on SQLite. Every statement is idempotent: running the script on a
-- database that already has the tables changes nothing and never drops a row.

-- One row per uploaded business document. INTERACTIONKEY is the row key that updates address.
-- RECEIVEDON is when the server stored the row, in UTC, set by the database itself (inserts
-- leave it out). A database made before the column existed gains it without a default (the
-- engine cannot add a column whose default is a clock): its older rows have no received-at
-- time (NULL), and a trigger stamps the rows added since.
-- The broker's record of handing the document to the ERP: ATTEMPTCOUNT attempts so far (NULL:
-- none), the last one started at ATTEMPTSTARTEDON (local time, as PROCESSEDON); ATTEMPTOPEN is 1
-- from just before the ERP call until its outcome is stored or the ERP refused the call, so a
-- pending row holding 1 outside a pass is in doubt: the ERP may have booked it. LASTERROR is the
-- description of the last attempt that failed.
CREATE TABLE IF NOT EXISTS CLIENTSERVERINTERACTION (
  INTERACTIONKEY INTEGER PRIMARY KEY,
  EMPLOYEEID TEXT,
  BUSINESSDOCUMENTTYPE INTEGER,
  INTERACTIONNAME INTEGER,
  INTERACTIONON TEXT,
  INTERACTIONID INTEGER,
  BUSINESSDOCUMENTID TEXT,
  BUSINESSDOCUMENTCONTENTS TEXT,
  INTERACTIONSTATUS SMALLINT,
  INTERACTIONRESULT TEXT,
  PROCESSEDON DATETIME,
  RECEIVEDON DATETIME DEFAULT CURRENT_TIMESTAMP,
  ATTEMPTCOUNT INTEGER,
  ATTEMPTSTARTEDON DATETIME,
  ATTEMPTOPEN SMALLINT,
  LASTERROR TEXT
);

-- The broker's selection: pending rows (status 5) in employee order and, within an employee, in
-- upload order (the row key, which every entry of the index carries). Partial, so it holds only
-- the rows still waiting however large the table grows.
CREATE INDEX IF NOT EXISTS IX_CSI_PENDING
  ON CLIENTSERVERINTERACTION (EMPLOYEEID) WHERE INTERACTIONSTATUS = 5;
-- The oldest pending row of each document type, for the queue's health: partial as above.
CREATE INDEX IF NOT EXISTS IX_CSI_PENDING_AGE
  ON CLIENTSERVERINTERACTION (BUSINESSDOCUMENTTYPE, RECEIVEDON) WHERE INTERACTIONSTATUS = 5;
-- The numbering (highest INTERACTIONID of an employee, type and upload marker) and the result
-- look-up by interaction number. Unique: two documents never share a number.
CREATE UNIQUE INDEX IF NOT EXISTS UX_CSI_NUMBER
  ON CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONON, INTERACTIONID);
-- The duplicate test of re-sent documents.
CREATE INDEX IF NOT EXISTS IX_CSI_DOCUMENT
  ON CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONON, INTERACTIONNAME,
                              BUSINESSDOCUMENTID);

-- One row per user of the laptops. DISABLED is 1 for a login that the server refuses as if it
-- had no row (TQSRemoteAdmin users disable); the documents of its employee are still taken in
-- and processed. Schema version 2 added it.
CREATE TABLE IF NOT EXISTS USERDEFAULTS (
  LOGN TEXT PRIMARY KEY,
  EMNO TEXT,
  BUSCOMPONENT TEXT,
  LASTJSID INTEGER,
  LASTQUOTEID INTEGER,
  LASTINVOICEID INTEGER,
  DISABLED SMALLINT NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_USERDEFAULTS_EMNO ON USERDEFAULTS (EMNO);

-- Named settings.
CREATE TABLE IF NOT EXISTS PARAMETERS (
  PARAMNAME TEXT PRIMARY KEY,
  PARAMVALUE TEXT
);

-- Localised texts by locale id (a number: 1033 is English), label code and page context.
CREATE TABLE IF NOT EXISTS I18NText (
  LOCALEID INTEGER NOT NULL,
  LABEL TEXT NOT NULL,
  TEXT TEXT,
  pagecontext TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (LOCALEID, LABEL, pagecontext)
);
CREATE INDEX IF NOT EXISTS IX_I18NTEXT_PAGE ON I18NText (pagecontext, LOCALEID);

-- What operators did to documents (requeued, resolved) and users (disabled, enabled, removed;
-- INTERACTIONKEY empty), newest last.
CREATE TABLE IF NOT EXISTS OPERATORACTIONS (
  ACTIONKEY INTEGER PRIMARY KEY,
  ACTIONON DATETIME DEFAULT CURRENT_TIMESTAMP,
  OPERATOR TEXT,
  ACTION TEXT,
  INTERACTIONKEY INTEGER,
  DETAILS TEXT
);

-- The schema versions this database was brought to, one row each, newest highest
-- (server/schema/schema_version.h). A database without rows was made before versions were
-- recorded: version 1.
CREATE TABLE IF NOT EXISTS SCHEMAVERSION (
  VERSION INTEGER PRIMARY KEY,
  APPLIEDON DATETIME DEFAULT CURRENT_TIMESTAMP,
  DESCRIPTION TEXT
);
