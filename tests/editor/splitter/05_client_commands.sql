@other_script.sql
!ls -l;
desc emp;
DESCRIBE emp
connect scott/tiger;
describer x;
