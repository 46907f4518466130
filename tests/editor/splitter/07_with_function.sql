WITH FUNCTION f(x number) RETURN number IS
BEGIN
  RETURN x + 1;
END;
SELECT f(1) FROM dual;
/
with q as (select 1 a from dual) select a from q;
(select 1 from dual);
