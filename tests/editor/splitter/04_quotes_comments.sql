insert into t values ('a;b', 'c''d;'); -- tail;
update t set a = 1 -- not here;
 where b = 2;
select "semi;colon" from t;
