DECLARE
  x number;
BEGIN
  x := 1;
END;
/
<<outer>>
begin null; end;
/
create procedure;
