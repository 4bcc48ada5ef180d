-- Default data of a new server database. Each row is added only where it is missing, so the
-- script can run again on a database whose operators changed or translated these rows.

INSERT INTO PARAMETERS (PARAMNAME, PARAMVALUE)
  SELECT 'DEFAULTLANGUAGE', '1033' WHERE NOT EXISTS
  (SELECT 1 FROM PARAMETERS WHERE PARAMNAME = 'DEFAULTLANGUAGE');
INSERT INTO PARAMETERS (PARAMNAME, PARAMVALUE)
  SELECT 'DefaultLanguage', '1033' WHERE NOT EXISTS
  (SELECT 1 FROM PARAMETERS WHERE PARAMNAME = 'DefaultLanguage');
INSERT INTO PARAMETERS (PARAMNAME, PARAMVALUE)
  SELECT 'ProcessToKorvo', 'Auto' WHERE NOT EXISTS
  (SELECT 1 FROM PARAMETERS WHERE PARAMNAME = 'ProcessToKorvo');
