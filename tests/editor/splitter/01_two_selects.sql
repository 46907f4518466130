select 1 from dual;
SELECT * FROM t WHERE a = 'x;y'; -- done
