select 1 from dual; select 2 from dual;
select 3 from dual;
