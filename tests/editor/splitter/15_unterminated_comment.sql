select 1 /* open;
 more; 
