BEGIN
  null;
END;
/
select 2 from dual;
