select 1 as "A";
select 2 as "B"
