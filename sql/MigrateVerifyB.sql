-- Prepares the verification: an empty tMG_TableCounts, ready for one row per
-- Oracle table (its exact row count and its column count without ANQID).
if object_id('dbo.tMG_TableCounts', 'U') is null
  create table dbo.tMG_TableCounts (
    acTableName varchar(128) not null,
    anNumberOfRecords bigint not null,
    anTotalColunms int not null,
    adCounted datetime not null constraint DF_tMG_TableCounts_adCounted default (getdate())
  )
go
delete from dbo.tMG_TableCounts
go
