CREATE OR REPLACE PACKAGE BODY p AS
  PROCEDURE a IS BEGIN null; END;
END;
/
CREATE TABLE t (a number, b varchar2(10));
create or replace trigger s.trg before insert on t for each row
begin :new.a := 1; end;
/
create type body tp as member function f return number is begin return 1; end; end;
/
