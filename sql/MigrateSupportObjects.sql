-- What the ERP database needs on SQL Server once its rows are copied and
-- verified: a record of the migration, and fresh statistics for the optimizer.

if object_id('dbo.tMG_Migration', 'U') is null
  create table dbo.tMG_Migration (
    anMigration int identity(1,1) not null,
    adMigrated datetime not null constraint DF_tMG_Migration_adMigrated default (getdate()),
    acSourceSchema varchar(128) not null,
    anTables int not null,
    anRows bigint not null
  )
go

-- The ERP names its database after its Oracle schema (its schema defaults
-- become db_name() on SQL Server), so the database names the source schema.
insert into dbo.tMG_Migration (acSourceSchema, anTables, anRows)
select db_name(),
  (select count(*) from sys.tables where name not in ('tMG_TableCounts', 'tMG_Migration')),
  (select isnull(sum(P.rows), 0) from sys.partitions P join sys.tables T on T.object_id = P.object_id
    where P.index_id in (0, 1) and T.name not in ('tMG_TableCounts', 'tMG_Migration'))
go

exec sp_updatestats
go
